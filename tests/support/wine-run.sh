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
  [ -f "$prefix/system.reg" ] || "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
  flock -u 9
fi
# The Wine server and Wine's own services outlive the program: started here by a process without
# the program's output streams, they do not keep CTest waiting on them, and they stay a minute
# for the next test of the program.
"${TARVELL_WINESERVER:-/usr/lib/wine/wineserver}" -p60 </dev/null >/dev/null 2>&1 || true
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
exec "$wine" "$@"
