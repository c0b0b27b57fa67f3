#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each one for the
# given number of seconds (default 30), starting from its seed corpus in
# fuzz/corpus/<name>/ and a scratch corpus under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bash scripts/build.sh fuzz >/dev/null
work=build/fuzz/corpus-work
for target in build/fuzz/fuzz/fuzz_*; do
    [[ -x "$target" ]] || continue
    name=$(basename "$target")
    mkdir -p "$work/$name"
    dirs=("$work/$name")
    [[ -d "fuzz/corpus/${name#fuzz_}" ]] && dirs+=("fuzz/corpus/${name#fuzz_}")
    echo "-- $name for ${seconds}s"
    log="$work/$name.log"
    dict=()
    [[ -f "fuzz/${name#fuzz_}.dict" ]] && dict=(-dict="fuzz/${name#fuzz_}.dict")
    if ! "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "${dict[@]}" "${dirs[@]}" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz target $name found a fault"
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || tail -n 3 "$log"
done
echo "fuzzing: all targets ran clean"
