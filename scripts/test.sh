#!/usr/bin/env bash
# Sets everything up and runs every check, cheapest first: the source format,
# the unit and end-to-end tests in an optimised build and again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the playback and session tests
# under ThreadSanitizer, a build of the benchmarks (not run) and the Debian
# package from that Release build, then each fuzz target for a short while
# (FUZZ_SECONDS, default 30). The builds treat warnings as errors. Ends with
# one line counting the tests of the three runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

started=$SECONDS
took() { echo "-- took $((SECONDS - started)) s"; started=$SECONDS; }

echo "== format"
bash scripts/check-format.sh
took

echo "== tests (optimised build)"
bash scripts/build.sh dev
ctest --preset dev -j2 | tee "$logs/dev.log"
took

echo "== tests (ASan + UBSan)"
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan -j2 | tee "$logs/asan.log"
took

# The code with threads: every test of tests/playback (by its suites) and the
# song session tests. The preset builds only their two test programs and points
# TSAN_OPTIONS at tests/tsan.supp, which silences the system's FluidSynth and
# RtMidi (not built with TSan) and nothing of ours.
echo "== threads (ThreadSanitizer)"
playback=$(grep -hoE '^(TEST|TEST_F|TEST_P|TYPED_TEST)\( *[A-Za-z0-9_]+' tests/playback/*.cpp |
    sed -E 's/.*\( *//' | sort -u | paste -sd '|')
bash scripts/build.sh tsan
ctest --preset tsan -j2 --no-tests=error \
    -R "^(${playback}|TuneSession[A-Za-z0-9_]*|ChordMaster[A-Za-z0-9_]*)\." | tee "$logs/tsan.log"
took

echo "== benchmarks (built, not run)"
bash scripts/build.sh bench
took

# The Debian package, made by CPack from that Release build: its control
# fields name the version and the packages the programs need, and
# korvanta-cli unpacked from it runs on its own data.
echo "== Debian package"
release=build/bench
if ! (cd "$release" && cpack -G DEB) >"$logs/cpack.log" 2>&1; then
    cat "$logs/cpack.log"
    exit 1
fi
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:[A-Z]+=//p' "$release/CMakeCache.txt")
deb="$release/korvanta_${version}_$(dpkg --print-architecture).deb"
dpkg-deb -I "$deb" >"$logs/deb-info.txt"
grep -qE "^ Version: ${version}\$" "$logs/deb-info.txt"
for need in libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins libfluidsynth3 fluid-soundfont-gm; do
    if ! grep -qE "^ Depends:.*\b${need}\b" "$logs/deb-info.txt"; then
        echo "package: $deb does not depend on $need" >&2
        exit 1
    fi
done
unpacked=$(cd "$logs" && pwd -P)/deb-root
dpkg -x "$deb" "$unpacked"
(cd "$logs" && env -u KORVANTA_STYLES "$unpacked/usr/bin/korvanta-cli" analyze \
    "$unpacked/usr/share/korvanta/samples/twinkle-twinkle.mid") >"$logs/deb-run.txt"
grep -E '^key: ' "$logs/deb-run.txt"
(cd "$logs" && env -u KORVANTA_STYLES "$unpacked/usr/bin/korvanta-cli" styles --json) \
    >"$logs/deb-styles.txt"
if ! grep -qF "\"folder\":\"$unpacked/usr/share/korvanta/Styles\"" "$logs/deb-styles.txt"; then
    echo "package: the unpacked korvanta-cli does not use its own styles" >&2
    exit 1
fi
echo "package: $deb"
took

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
took

# "100% tests passed, 0 tests failed out of N" from each run.
total=0
failed=0
for log in "$logs/dev.log" "$logs/asan.log" "$logs/tsan.log"; do
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    n=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    total=$((total + n))
    failed=$((failed + f))
done
echo "summary: $((total - failed)) passed, $failed failed"
