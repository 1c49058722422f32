#!/usr/bin/env bash
# screenshots.sh - runs the program under Xvfb with a window manager, opens the send form's
# address book, both address book editors, the settings dialogs and the About box through the
# keyboard, and saves a PNG of each into build/screenshots/ (or the folder given second).
# Usage: scripts/screenshots.sh [path/to/tarvell] [output folder]
#        scripts/screenshots.sh --windows [build-windows folder] [output folder]
# The second form does the same for the Windows window, tarvell.exe under Wine, driven through its
# test mode (src/win/TestScript.h) instead of the keyboard; its PNGs go to
# build-windows/screenshots/windows/ unless a folder is given.
# Installs what it needs through scripts/setup-screenshots.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/setup-screenshots.sh"
WINDOWS=0
if [ "${1:-}" = --windows ]; then
    WINDOWS=1
    shift
    BUILD_WIN=$(realpath "${1:-$ROOT/build-windows}")
    BIN=$BUILD_WIN/tarvell.exe
    OUT=${2:-$BUILD_WIN/screenshots/windows}
    [ -x /usr/lib/wine/wine64 ] || { echo "screenshots.sh: wine64 is not installed" >&2; exit 1; }
else
    BIN=${1:-$ROOT/build/tarvell}
    OUT=${2:-$ROOT/build/screenshots}
fi
[ -f "$BIN" ] || { echo "screenshots.sh: no $BIN" >&2; exit 1; }
mkdir -p "$OUT"

# The program keeps its files beside itself: run a copy in a folder of its own.
WORK=$(mktemp -d)
PIDS=()
cleanup()
{
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
cp "$BIN" "$WORK/$(basename "$BIN")"

# A main book and a group book with a few entries (CP932 records of 128 + 256 bytes).
python3 - "$WORK" <<'PY'
import sys
def book(entries):
    data = bytearray(19200)
    for n, (name, addr) in entries.items():
        off = 384 * (n - 1)
        b = name.encode('cp932'); data[off:off + len(b)] = b
        b = addr.encode('cp932'); data[off + 128:off + 128 + len(b)] = b
    return bytes(data)
folder = sys.argv[1]
open(folder + '/Address.tvl', 'wb').write(book({
    1: ('山田 太郎', 'yamada@example.jp'), 2: ('佐藤 花子', 'hanako.sato@example.co.jp'),
    3: ('営業部', '@営業部.tvl'), 5: ('John Smith', 'john@example.com')}))
open(folder + '/@新規.tvl', 'wb').write(book({
    1: ('鈴木 一郎', 'suzuki@example.jp'), 2: ('高橋 次郎', 'takahashi@example.ne.jp')}))
PY

# Xvfb picks a free display itself and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$WORK/display")
openbox >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

# The window of the given title, once it is mapped.
window()
{
    xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}

# shot TITLE FILE: saves the window of that title, with its frame, once it has painted.
shot()
{
    local id
    id=$(window "$1")
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    sleep 0.7
    import -frame -window "$id" "$OUT/$2"
    echo "$OUT/$2"
}

if [ "$WINDOWS" = 1 ]; then
    # shellcheck source=scripts/screenshots-windows.sh
    . "$ROOT/scripts/screenshots-windows.sh"
    exit 0
fi

(cd "$WORK" && LC_ALL=C.UTF-8 ./tarvell) &
PIDS+=($!)

# keys TITLE KEY...: sends keys to the window of that title.
keys()
{
    local id
    id=$(window "$1")
    shift
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    for key in "$@"; do xdotool key --clearmodifiers "$key"; sleep 0.3; done
}

MAIN=Tarvell
# Fill the form from the keyboard (the focus starts on "終了"; Tab walks the template's order)
# and press "送信": the body file does not exist, so the status line shows the failure without
# touching the network.
keys "$MAIN" Tab
xdotool type --delay 150 "山田 太郎"; xdotool key Tab
xdotool type --delay 150 "yamada@example.jp"; xdotool key Tab
xdotool type --delay 150 "会議のお知らせ"; xdotool key Tab
xdotool type --delay 150 "/home/yamada/本文.txt"
xdotool key Tab Tab Tab space
shot "$MAIN" send_form.png

# "宛先・メインアドレス帳", just before "送信" in tab order: the address book in mode 0.
keys "$MAIN" shift+Tab space
shot "Tarvell メイン・アドレス帳 - Address.tvl" address_book_mode0.png
keys "Tarvell メイン・アドレス帳 - Address.tvl" Escape

# ツール → グループアドレス帳の編集: the file dialog proposes "@新規"; Enter takes it: mode 11.
keys "$MAIN" alt+t g
sleep 1
xdotool key Return
shot "Tarvell グループ・アドレス帳 - @新規.tvl" address_book_mode11.png
keys "Tarvell グループ・アドレス帳 - @新規.tvl" Escape

keys "$MAIN" alt+s s
shot "発送元設定" sender_settings.png
# "接続設定...", last in the tab order after OK, Cancel and the six edits.
keys "発送元設定" Tab Tab Tab Tab Tab Tab Tab Tab space
shot "接続設定" connection_settings.png
keys "接続設定" Escape
keys "発送元設定" Escape

keys "$MAIN" alt+s o
shot "オプション" options.png
keys "オプション" Escape

# ツール → 送信記録を閲覧: the trace of the failed send above and this month's log.
keys "$MAIN" alt+t r
shot "送信記録" send_record.png
keys "送信記録" Escape

keys "$MAIN" alt+h a
shot "Tarvellのﾊﾞｰｼﾞｮﾝ情報" about.png
keys "Tarvellのﾊﾞｰｼﾞｮﾝ情報" Escape

keys "$MAIN" alt+f x
