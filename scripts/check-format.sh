#!/usr/bin/env bash
# Checks that every tracked C++ source under src/ tests/ tools/ bench/ fuzz/
# is formatted as .clang-format says; lists the files that differ and fails.
# Fix with: clang-format -i <file>...
set -euo pipefail
cd "$(dirname "$0")/.."

# A file deleted but not yet committed is still listed; skip it.
mapfile -t files < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' \
    'tools/*.h' 'tools/*.cpp' 'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp' |
    while read -r f; do [[ -f "$f" ]] && echo "$f"; done)
if ((${#files[@]} == 0)); then
    echo "check-format: no files found (not a git checkout?)" >&2
    exit 1
fi

# One clang-format run for all files; every difference is reported as
# "file:line:col: error: code should be clang-formatted".
status=0
out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t differ < <(grep -oE '^[^:]+:[0-9]+:[0-9]+: error: code should be clang-formatted' \
    <<<"$out" | cut -d: -f1 | sort -u)

if ((${#differ[@]})); then
    echo "check-format: ${#differ[@]} of ${#files[@]} files differ from .clang-format:"
    printf '  %s\n' "${differ[@]}"
    echo "fix with: clang-format -i <file>..."
    exit 1
fi
if ((status != 0)); then
    # clang-format failed for another reason (a broken .clang-format, say).
    echo "$out" >&2
    echo "check-format: clang-format failed" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
