#!/usr/bin/env bash
# sanitize.sh [asan|tsan]... - the tests built with sanitizers: AddressSanitizer with
# UndefinedBehaviorSanitizer (build-asan/, the unit tests of app, mail, addr, send and config) and
# ThreadSanitizer (build-tsan/, the tests that run threads: sockets with their resolver thread, the
# loopback fake servers, sends end to end, and the window's send on its worker thread). Without
# arguments both run. Exits non-zero on any report.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(asan tsan)
# Leaks are not looked for: the program under test ends with Qt's and fontconfig's caches in
# place. Every other report fails the test that made it.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
status=0
for mode in "${modes[@]}"; do
    case "$mode" in
    asan) flags="address,undefined"; folders="app mail addr send config"; widgets="" ;;
    tsan) flags="thread"; folders="mail send"; widgets="^SendWhileAlive" ;;
    *) echo "sanitize: unknown mode $mode" >&2; exit 64 ;;
    esac
    out=$ROOT/build-$mode
    cmake -S "$ROOT" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTARVELL_SANITIZE="$flags" ${TARVELL_CMAKE_ARGS:-} >/dev/null
    targets=()
    for folder in $folders; do targets+=("tarvell_${folder}_tests"); done
    [ -z "$widgets" ] || targets+=(tarvell_ui_tests)
    cmake --build "$out" -j"$(nproc)" --target "${targets[@]}" >/dev/null
    echo "sanitize: $mode ($flags) over $folders${widgets:+ and $widgets}"
    labels="^($(echo "$folders" | tr ' ' '|'))\$"
    ok=1
    ctest --test-dir "$out" -L "$labels" --output-on-failure -j"$(nproc)" --timeout 600 \
        >"$out/ctest.log" 2>&1 || ok=0
    if [ -n "$widgets" ]; then
        ctest --test-dir "$out" -R "$widgets" --output-on-failure --timeout 600 \
            >>"$out/ctest.log" 2>&1 || ok=0
    fi
    if [ $ok = 1 ]; then
        grep -E '^[0-9]+% tests passed' "$out/ctest.log"
    else
        grep -E "Failed|SUMMARY|WARNING: ThreadSanitizer|runtime error" "$out/ctest.log" | head -40 >&2
        echo "sanitize: $mode FAILED, see $out/ctest.log" >&2
        status=1
    fi
done
exit $status
