#!/usr/bin/env bash
# package-windows.sh - builds the Windows programs (scripts/build-windows.sh) and makes the installer
# and a zip of the same files in build-windows/dist/: tarvell-VERSION-setup.exe, tarvell-VERSION-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
bash scripts/install_packages.sh nsis
version=$(sed -nE 's/^set\(CPACK_PACKAGE_VERSION ([0-9.]+)\)/\1/p' cmake/Install.cmake)
out=build-windows/dist
stage=$out/Tarvell-$version
rm -rf "$out"
mkdir -p "$stage/manual"
cp build-windows/tarvell.exe build-windows/tarvell-batch.exe build-windows/tarvell-config.exe "$stage/"
cp -r docs/manual/. "$stage/manual/"
# Text files with CR LF line ends, as Windows' own tools expect them.
sed 's/$/\r/' data/copyright > "$stage/copyright.txt"
sed 's/$/\r/' data/windows/README.txt > "$stage/README.txt"
makensis -V2 -DVERSION="$version" -DSTAGE="$(pwd)/$stage" \
  -DOUTFILE="$(pwd)/$out/tarvell-$version-setup.exe" data/windows/tarvell.nsi
(cd "$out" && cmake -E tar cf "tarvell-$version-win64.zip" --format=zip "Tarvell-$version")
ls -l "$out"/*.exe "$out"/*.zip
