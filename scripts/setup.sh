#!/usr/bin/env bash
# Installs what Tarvell needs to build, run and test on Debian 12: the compilers and Qt, the fonts,
# clang for the fuzz targets and the formatting check, and Postfix and Dovecot for the
# interoperability tests, whose delivered mails Python and Perl's MIME-tools decode. The
# screenshot and benchmark tools come with their own scripts.
# Idempotent: packages already present are not fetched again. Run as root (or through sudo).
set -euo pipefail
PACKAGES=(
  g++ cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-qpa-plugins libqt6opengl6-dev
  libgtest-dev libgmock-dev
  fonts-noto-cjk fontconfig
  clang libclang-rt-14-dev clang-format clang-tidy
  postfix dovecot-pop3d
  libssl-dev openssl nlohmann-json3-dev
  python3 libmime-tools-perl
  qt6-translations-l10n xdg-utils
  dpkg-dev desktop-file-utils appstream lintian
)
exec bash "$(dirname "$0")/install_packages.sh" "${PACKAGES[@]}"
