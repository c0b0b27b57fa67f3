#!/usr/bin/env bash
# Sets everything up and runs every test: the unit and end-to-end tests in an
# optimised build and again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then each fuzz target for a short while (FUZZ_SECONDS, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "== tests (optimised build)"
bash scripts/build.sh dev
ctest --preset dev -j2

echo "== tests (ASan + UBSan)"
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan -j2

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
