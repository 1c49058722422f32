#!/usr/bin/env bash
# Builds the Windows core of Tarvell (tarvell-config.exe and the core test programs) with
# MinGW-w64 into build-windows/, installing the cross compiler, Wine, NSIS and GoogleTest's
# sources when missing. The tests then run under wine64: scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_packages.sh g++-mingw-w64-x86-64-posix wine64 nsis googletest cmake \
  ninja-build ccache locales
# Wine names the files it creates in the Unix locale's character set: without a Japanese UTF-8
# locale it has none for Japanese names, and its ANSI code page would not be 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ${TARVELL_CMAKE_ARGS:-} >/dev/null
cmake --build build-windows -j"${TARVELL_JOBS:-$(nproc)}"
