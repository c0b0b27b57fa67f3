#!/usr/bin/env bash
# Sets everything up and runs every test: the unit and end-to-end tests in an
# optimised build and again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then each fuzz target for a short while (FUZZ_SECONDS, default 30). Ends with
# one line counting the tests of both runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

echo "== tests (optimised build)"
bash scripts/build.sh dev
ctest --preset dev -j2 | tee "$logs/dev.log"

echo "== tests (ASan + UBSan)"
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan -j2 | tee "$logs/asan.log"

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# "100% tests passed, 0 tests failed out of N" from each run.
total=0
failed=0
for log in "$logs/dev.log" "$logs/asan.log"; do
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    n=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    total=$((total + n))
    failed=$((failed + f))
done
echo "summary: $((total - failed)) passed, $failed failed"
