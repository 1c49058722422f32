#!/usr/bin/env bash
# install_packages.sh PACKAGE... - installs the Debian packages of the list that are missing.
# Idempotent: packages already present are not fetched again. Run as root (or through sudo).
set -euo pipefail
missing=()
for pkg in "$@"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -gt 0 ] || exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
# Postfix must not configure or start a system mail server: the tests run private instances.
echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
# Several checkouts may set up at once: apt waits for the other one's lock instead of failing.
LOCK=(-o DPkg::Lock::Timeout=900)
$SUDO apt-get "${LOCK[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get "${LOCK[@]}" install -y -qq --no-install-recommends "${missing[@]}"
