#!/usr/bin/env bash
# Builds the Windows core (scripts/build-windows.sh) and runs its tests under wine64 through
# CTest; each test program has a Wine prefix of its own in build-windows/tests/wine/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir build-windows --output-on-failure -j"${TARVELL_JOBS:-$(nproc)}" --timeout 300 \
  2>&1 | tee "$log" || status=$?
# CTest's own closing line, repeated plainly as the last line of the run.
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
if [ -n "$summary" ]; then
  failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  echo "tests: $((total - failed)) passed, $failed failed"
fi
exit "$status"
