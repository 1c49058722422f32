#!/usr/bin/env bash
# Installs what scripts/screenshots.sh needs besides scripts/setup.sh: an X server, a window
# manager, a keyboard driver and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
bash setup.sh
bash install_packages.sh xvfb xauth x11-utils imagemagick xdotool openbox
