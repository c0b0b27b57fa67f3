#!/usr/bin/env bash
# Installs every build, test and run dependency from Debian's packages.
# Idempotent and quick when everything is present: apt is only called for
# packages that are missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev clang-format
    googletest libgtest-dev libgmock-dev
    libbenchmark-dev
    libsmf-dev
    qt6-base-dev
    libfluidsynth-dev fluid-soundfont-gm librtmidi-dev
    fonts-liberation2 poppler-utils  # the grid's font; the tests read printed PDFs back
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "install-deps: all dependencies present"
fi
