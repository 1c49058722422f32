#!/usr/bin/env bash
# check_manual_browser.sh - opens the user manual in headless Chromium (Debian's package, installed
# here through install_packages.sh) and saves a full-page screenshot to look at:
# build/manual-check/manual.png (or the file given). Not part of the test suite: a person looks.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/build/manual-check/manual.png}
bash "$ROOT/scripts/install_packages.sh" chromium fonts-noto-cjk
mkdir -p "$(dirname "$OUT")"
PROFILE=$(mktemp -d)
trap 'rm -rf "$PROFILE"' EXIT
# --no-sandbox: the check may run as root in a container, where the sandbox cannot start.
chromium --headless --no-sandbox --disable-gpu --user-data-dir="$PROFILE" \
    --window-size=1000,9000 --screenshot="$OUT" "file://$ROOT/docs/manual/index.html" 2>/dev/null
echo "$OUT"
