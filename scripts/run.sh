#!/usr/bin/env bash
# Installs what is missing, builds, and runs Tarvell. With a display the program opens its window;
# without one it runs the demonstration of an automatic send (scripts/demo.sh) when present.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -f scripts/demo.sh ]; then
  exec bash scripts/demo.sh
fi
exec build/tarvell "$@"
