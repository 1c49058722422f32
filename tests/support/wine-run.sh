#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM.exe [ARG...] - runs a Windows test program under wine64 in the Wine
# prefix PREFIX (made on first use), with the Japanese ANSI code page (932) and the test settings
# the Linux runs get.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 TZ=JST-9 TARVELL_NET_TIMEOUT=5
wine=${TARVELL_WINE:-/usr/lib/wine/wine64}
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # Two first runs at once would both build the prefix: the first one does, the other waits.
  exec 9>"$prefix.lock"
  flock 9
  [ -f "$prefix/system.reg" ] || "$wine" cmd /c exit >/dev/null 2>&1 || true
  flock -u 9
fi
exec "$wine" "$@"
