#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and widget tests, the end-to-end
# runs of the program, the interoperability tests with real Postfix and Dovecot, and a short run
# of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh "${TARVELL_FUZZ_SECONDS:-5}"
fi
