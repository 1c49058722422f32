#!/usr/bin/env bash
# coverage.sh - line coverage of the core by its tests: builds build-coverage/ with
# -DTARVELL_COVERAGE=ON, runs the tests of app, mail, addr, send and config, and writes the gcovr
# report build-coverage/coverage/index.html (the summary is printed). Installs gcovr if missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/install_packages.sh" gcovr
OUT=$ROOT/build-coverage
cmake -S "$ROOT" -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVELL_COVERAGE=ON >/dev/null
cmake --build "$OUT" -j"$(nproc)" >/dev/null
find "$OUT" -name '*.gcda' -delete
ctest --test-dir "$OUT" -L '^(app|mail|addr|send|config)$' -j"$(nproc)" --timeout 600 >"$OUT/ctest.log" 2>&1 || true
tail -n 3 "$OUT/ctest.log"
mkdir -p "$OUT/coverage"
gcovr -r "$ROOT" --object-directory "$OUT" --filter "$ROOT/src/" --exclude "$ROOT/src/ui/" \
    --html-details "$OUT/coverage/index.html" --print-summary
