#!/bin/sh
# fuzz.sh [SECONDS] - build the libFuzzer targets of tests/fuzz (CMake option TARVELL_FUZZ, clang with
# the address and undefined behaviour sanitizers) into build-fuzz, and run each for SECONDS
# (default 5). Exits non-zero when a target crashes or a sanitizer reports. The corpus of each
# target is kept in build-fuzz/corpus.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/build-fuzz
SECONDS_EACH=${1:-5}
cmake -S "$ROOT" -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" -DTARVELL_FUZZ=ON >/dev/null
cmake --build "$OUT" -j"$(nproc)" >/dev/null

status=0
for target in "$ROOT"/tests/fuzz/Fuzz*.cpp; do
    name=$(basename "$target" .cpp)
    mkdir -p "$OUT/corpus/$name"
    echo "fuzz: $name for ${SECONDS_EACH}s"
    if ! "$OUT/$name" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=0 -artifact_prefix="$OUT/$name-" "$OUT/corpus/$name" >"$OUT/$name.log" 2>&1; then
        echo "fuzz: $name FAILED, see $OUT/$name.log" >&2
        tail -30 "$OUT/$name.log" >&2
        status=1
    fi
done
exit $status
