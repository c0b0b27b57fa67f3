#!/usr/bin/env bash
# Builds the Debian package: installs the dependencies, makes a Release build
# (preset `release`, no tests) and runs CPack in it. Prints the .deb's path;
# install it with `apt install ./<that path>`.
#   bash scripts/package.sh [BUILD_DIR]     (default: build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
bash scripts/install-deps.sh >&2
cmake --preset release -B "$build" >&2
cmake --build "$build" >&2
# cpack writes into its working folder; only the one package is wanted.
(cd "$build" && cpack -G DEB >&2)
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:[A-Z]+=//p' "$build/CMakeCache.txt")
deb="$build/korvanta_${version}_$(dpkg --print-architecture).deb"
if [[ ! -f "$deb" ]]; then
    echo "package: cpack did not write $deb" >&2
    exit 1
fi
echo "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
