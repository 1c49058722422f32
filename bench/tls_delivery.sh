#!/bin/sh
# tls_delivery.sh [BUILD_DIR] [SIZE_MB] - start the private Postfix and Dovecot in their TLS mode
# (scripts/mailservers, needs root) without a message size limit, then time one 587 + STARTTLS +
# AUTH send of a small mail (five times) and one mail with a SIZE_MB (default 100) attachment plain,
# over STARTTLS and over implicit TLS, all on loopback. The big-mail times include Postfix taking
# the message into its queue, the same for every run. BUILD_DIR (default build-bench) is configured
# with -DTARVELL_BENCH=ON when it is new.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
SIZE_MB=${2:-100}
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVELL_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target tarvell_bench_tls_delivery >/dev/null
PROGRAM=$(find "$BUILD" -name tarvell_bench_tls_delivery -type f | head -1)

WORK=$(MAILSERVERS_TLS=1 MAILSERVERS_SIZE_LIMIT=0 sh "$ROOT/scripts/mailservers/start.sh" | tail -1)
trap 'sh "$ROOT/scripts/mailservers/stop.sh" "$WORK"' EXIT
ATTACHMENT=$WORK/attachment.bin
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom >"$ATTACHMENT"
TARVELL_NET_TIMEOUT=300 "$PROGRAM" "$WORK/env" "$ATTACHMENT"
