#!/usr/bin/env bash
# Regenerates the shipped style library (data/Styles/styles.lst and
# data/Styles/*.stt) from the pattern sources in data/Styles/src, with the
# import tool of the dev build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset dev >/dev/null
cmake --build build/dev --target korvanta-style-import
cmake -DTOOL="$PWD/build/dev/tools/style-import/korvanta-style-import" \
      -DSOURCES="$PWD/data/Styles/src" -DOUT="$PWD/data/Styles" \
      -P tools/style-import/build-library.cmake
