#!/usr/bin/env bash
# Sets everything up and runs the program's main job on a bundled sample
# melody: the desktop window when a display is there, else the same work
# without a window (korvanta-cli analyze). Extra arguments are passed to
# korvanta-cli instead of the default job, in the caller's folder, so
# relative file names mean what they say. The script's own messages and the
# set-up go to standard error: standard output is the program's alone (for
# `run.sh analyze x.mid --json | jq`).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
(cd "$root" && bash scripts/install-deps.sh >&2 && bash scripts/build.sh dev >/dev/null)
cli=$root/build/dev/src/cli/korvanta-cli
gui=$root/build/dev/src/app/korvanta
sample=$root/data/samples/twinkle-twinkle.mid
if (($#)); then
    exec "$cli" "$@"
fi
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec "$gui" "$sample"
fi
"$cli" analyze "$sample"
{
    echo
    echo "No display here, so the window was not opened. On a desktop, start it with:"
    echo "  $gui $sample"
} >&2
