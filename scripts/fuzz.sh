#!/bin/sh
# fuzz.sh [SECONDS] - build the libFuzzer targets of tests/fuzz with clang (address and undefined
# behaviour sanitizers) into build-fuzz, and run each for SECONDS (default 5). Exits non-zero when a
# target crashes or a sanitizer reports. The corpus of each target is kept in build-fuzz/corpus.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/build-fuzz
SECONDS_EACH=${1:-5}
CXX=${CXX_FUZZ:-clang++}
mkdir -p "$OUT/obj"

# The encoders and the transport build without the CP932 execution character set (clang has only
# UTF-8); they hold no Japanese literals.
FLAGS="-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I$ROOT/src -I$ROOT/tests"
LIB_SOURCES="src/mail/MailEncoders.cpp src/mail/LineTransport.cpp src/app/FileError.cpp tests/support/ScriptedSocket.cpp"
OBJECTS=""
for source in $LIB_SOURCES; do
    object=$OUT/obj/$(echo "$source" | tr / _).o
    if [ ! -f "$object" ] || [ "$ROOT/$source" -nt "$object" ]; then
        $CXX $FLAGS -c "$ROOT/$source" -o "$object"
    fi
    OBJECTS="$OBJECTS $object"
done

status=0
for target in "$ROOT"/tests/fuzz/Fuzz*.cpp; do
    name=$(basename "$target" .cpp)
    $CXX $FLAGS -fsanitize=fuzzer "$target" $OBJECTS -o "$OUT/$name"
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
