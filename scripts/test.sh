#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a short run of each fuzz target, then the
# unit and widget tests, the end-to-end runs of the program, and the interoperability tests with
# real Postfix and Dovecot (all through CTest); then the Windows build and its tests under Wine
# (scripts/test-windows.sh; TARVELL_WINDOWS=0 leaves them out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
bash scripts/fuzz.sh "${TARVELL_FUZZ_SECONDS:-5}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300 2>&1 | tee "$log" || status=$?
# CTest's own closing line, repeated plainly as the last line of the run.
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
if [ -n "$summary" ]; then
  failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  echo "tests: $((total - failed)) passed, $failed failed"
fi
if [ "${TARVELL_WINDOWS:-1}" != 0 ]; then
  bash scripts/test-windows.sh || status=1
fi
exit "$status"
