#!/usr/bin/env bash
# windows_install_test.sh SETUP.EXE - the Windows installer under Wine, in a prefix of its own:
# a silent install puts both programs, the manual and the Start-menu entries in place; the
# installed tarvell-config.exe runs and keeps its records in %APPDATA%\Tarvell (Program Files is
# no place for them); a silent uninstall removes every installed file and keeps those records.
set -euo pipefail
setup=$(realpath "$1")
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "SKIPPED: wine64 is not installed"; exit 77; }
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tarvell-wine-install.XXXXXX)
export WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap '"$wine"server -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

"$wine" "$setup" /S || fail "the silent install ended with status $?"
dir="$WINEPREFIX/drive_c/Program Files/Tarvell"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvell"
for f in tarvell.exe tarvell-batch.exe tarvell-config.exe uninstall.exe README.txt copyright.txt manual/index.html; do
  [ -f "$dir/$f" ] || fail "$f is not installed"
done
[ "$(ls "$menu" | wc -l)" -eq 4 ] || fail "the Start-menu folder does not hold its four entries"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvell'
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 || fail "no uninstall entry in the registry"

"$wine" "C:\\Program Files\\Tarvell\\tarvell-config.exe" --help >/dev/null ||
  fail "the installed tarvell-config.exe does not run"
"$wine" "C:\\Program Files\\Tarvell\\tarvell-config.exe" sender set name=Installed \
  address=installed@example.jp >/dev/null || fail "tarvell-config.exe sender set failed"
appdata=$(find "$WINEPREFIX/drive_c/users" -type d -path '*/AppData/Roaming/Tarvell' | head -n 1)
[ -n "$appdata" ] && [ -n "$(ls "$appdata")" ] || fail "no records in %APPDATA%\\Tarvell"
[ "$(ls "$dir" | wc -l)" -eq 7 ] || fail "records were written into Program Files: $(ls "$dir")"
"$wine" "C:\\Program Files\\Tarvell\\tarvell-batch.exe" /quit </dev/null >/dev/null 2>&1 ||
  fail "the installed tarvell-batch.exe does not run"

# The uninstaller runs as a copy of itself from the temporary folder, as it does when a user
# starts it; its end is the end of the prefix's last process. (With "_?=" it would run in place,
# but under Wine's Japanese locale it then removes nothing.)
"$wine" "C:\\Program Files\\Tarvell\\uninstall.exe" /S || fail "the silent uninstall ended with status $?"
/usr/lib/wine/wineserver -w
[ ! -e "$dir" ] || fail "the uninstaller left $(ls "$dir")"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu folder"
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall entry stayed"
[ -n "$(ls "$appdata")" ] || fail "the uninstaller removed the user's records"
echo "PASSED: install, run, uninstall under Wine"
