#!/bin/sh
# big_attachment.sh [BUILD_DIR] [SIZES_MB] - send one mail with an attachment of each size (default
# "1 10 100"; add 1024 for the 1 GB figure) to the loopback sink and report wall time, attachment
# MB/s and the sending process's peak memory, beside `base64 FILE > /dev/null` as the floor, and
# the ratio of the two throughputs (1.00: the DATA phase is as fast as coreutils base64).
# BUILD_DIR (default build-bench) must be configured with -DTARVELL_BENCH=ON; this script builds
# the program it needs there.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
bash "$ROOT/scripts/setup-bench.sh" >/dev/null
SIZES=${2:-"1 10 100"}
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVELL_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target tarvell_bench_big_attachment >/dev/null
PROGRAM=$BUILD/bench/tarvell_bench_big_attachment
[ -x "$PROGRAM" ] || PROGRAM=$(find "$BUILD" -name tarvell_bench_big_attachment -type f | head -1)

WORK=$(mktemp -d /tmp/tarvell-bench.XXXXXX)
FIFO=$WORK/serve.in
mkfifo "$FIFO"
"$PROGRAM" serve <"$FIFO" >"$WORK/port" &
SERVER=$!
exec 3>"$FIFO"   # the sink serves until this closes
cleanup() {
    exec 3>&-
    wait "$SERVER" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
while [ ! -s "$WORK/port" ]; do sleep 0.1; done
PORT=$(cat "$WORK/port")

printf '%-8s %-10s %-12s %-14s %-12s %-12s %-8s\n' size_MB send_s attach_MB/s peak_RSS_MB base64_s base64_MB/s ratio
for mb in $SIZES; do
    FILE=$WORK/attachment-$mb.bin
    head -c "$((mb * 1024 * 1024))" /dev/urandom >"$FILE"
    set -- $("$PROGRAM" send "$PORT" "$FILE")
    bytes=$1 wall=$2 rate=$3 peak_kb=$4 result=$5
    [ "$result" -gt 0 ] || { echo "send of $mb MB failed: result $result" >&2; exit 1; }
    start=$(date +%s.%N)
    base64 "$FILE" >/dev/null
    end=$(date +%s.%N)
    awk -v mb="$mb" -v wall="$wall" -v rate="$rate" -v kb="$peak_kb" -v bytes="$bytes" \
        -v start="$start" -v end="$end" 'BEGIN {
            floor = end - start
            printf "%-8s %-10s %-12s %-14.1f %-12.3f %-12.1f %-8.2f\n", mb, wall, rate, kb / 1024, floor, bytes / 1e6 / floor, floor / wall
        }'
    rm -f "$FILE"
done
