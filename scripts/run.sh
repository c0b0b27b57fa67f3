#!/usr/bin/env bash
# Sets everything up and runs the program's main job on a bundled sample melody.
# Extra arguments are passed to korvanta-cli instead of the default job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh dev >/dev/null
cli=build/dev/src/cli/korvanta-cli
if (($#)); then
    exec "$cli" "$@"
fi
exec "$cli" analyze data/samples/twinkle-twinkle.mid
