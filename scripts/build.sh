#!/usr/bin/env bash
# Builds Tarvell (Release, with its tests) into build/. The program is build/tarvell.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release ${TARVELL_CMAKE_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)"
