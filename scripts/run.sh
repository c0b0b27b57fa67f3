#!/usr/bin/env bash
# Sets everything up and runs the program's main job on a bundled sample
# melody: the desktop window when a display is there, else the same work
# without a window (korvanta-cli analyze). Extra arguments are passed to
# korvanta-cli instead of the default job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh dev >/dev/null
cli=build/dev/src/cli/korvanta-cli
gui=build/dev/src/app/korvanta
sample=data/samples/twinkle-twinkle.mid
if (($#)); then
    exec "$cli" "$@"
fi
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec "$gui" "$sample"
fi
"$cli" analyze "$sample"
echo
echo "No display here, so the window was not opened. On a desktop, start it with:"
echo "  $gui $sample"
