#!/usr/bin/env bash
# Installs what the benchmarks need besides scripts/setup.sh: Google Benchmark, and msmtp as the
# yardstick of the group-send benchmark.
set -euo pipefail
cd "$(dirname "$0")"
bash setup.sh
bash install_packages.sh libbenchmark-dev msmtp
