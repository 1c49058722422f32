#!/usr/bin/env bash
# Installs everything Tarvell needs to build, run and test on Debian 12. Idempotent: packages
# already present are not fetched again. Run as root (or through sudo).
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-qpa-plugins libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk fontconfig
  xvfb xauth x11-utils imagemagick xdotool openbox
  clang libclang-rt-14-dev clang-format
  postfix dovecot-pop3d
  libssl-dev openssl
  msmtp
  python3
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  # Postfix must not configure or start a system mail server: the tests run private instances.
  echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
