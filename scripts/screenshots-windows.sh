# screenshots-windows.sh - the Windows half of scripts/screenshots.sh, sourced by it with the X
# server and the window manager running: tarvell.exe under Wine in a fresh prefix, its test mode
# (src/win/TestScript.h) opening the form, the address book in modes 0 and 11, the sender
# settings, 接続設定, the options and the About box in turn. At each "signal NAME" of the script
# the window is saved as NAME.png and $WORK/go-NAME tells the script to go on.
# Uses from screenshots.sh: BIN, OUT, WORK, PIDS, shot.

WINE=/usr/lib/wine/wine64
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
winpath() { echo "Z:${1//\//\\}"; }
"$WINE" wineboot --init >/dev/null 2>&1
# The templates ask for ＭＳ Ｐゴシック, which Wine does not have: Noto Sans CJK JP stands in.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"ＭＳ Ｐゴシック"="Noto Sans CJK JP"\r\n"MS UI Gothic"="Noto Sans CJK JP"\r\n' |
    iconv -f UTF-8 -t UTF-16 > "$WORK/fonts.reg"
"$WINE" regedit /S "$(winpath "$WORK/fonts.reg")"
/usr/lib/wine/wineserver -w

# The window, its dialogs' titles, and the script that opens each in turn.
declare -A TITLE=(
    [send_form]=Tarvell
    [address_book_mode0]="Tarvell メイン・アドレス帳 - Address.tvl"
    [address_book_mode11]="Tarvell グループ・アドレス帳 - @新規.tvl"
    [sender_settings]=発送元設定
    [connection_settings]=接続設定
    [options]=オプション
    [about]="Tarvellのﾊﾞｰｼﾞｮﾝ情報"
)
go() { echo "signal $1"; echo "wait-file $(winpath "$WORK/go-$1")"; }
cat > "$WORK/script.txt" <<SCRIPT
set 1000 山田 太郎
set 1001 yamada@example.jp
set 1002 会議のお知らせ
set 1003 C:\\Users\\yamada\\本文.txt
click 1009
wait-text 1005 送信失敗
$(go send_form)
click 1008
wait-dialog ${TITLE[address_book_mode0]}
$(go address_book_mode0)
click 2
wait-no-dialog
menu 32776
wait-dialog 開く
click 1
wait-dialog ${TITLE[address_book_mode11]}
$(go address_book_mode11)
click 2
wait-no-dialog
menu 32773
wait-dialog 発送元設定
set 1015 山田 太郎
set 1016 yamada@example.jp
set 1017 smtp.example.jp
set 1018 pop.example.jp
set 1019 yamada
set 1020 secret
$(go sender_settings)
click 1021
wait-dialog 接続設定
$(go connection_settings)
click 2
wait-dialog 発送元設定
click 2
wait-no-dialog
menu 32771
wait-dialog オプション
set 1031 C:\\Windows\\notepad.exe
$(go options)
click 2
wait-no-dialog
menu 57664
wait-dialog ${TITLE[about]}
$(go about)
click 2
wait-no-dialog
close
SCRIPT

TARVELL_TEST_SCRIPT=$(winpath "$WORK/script.txt") TARVELL_TEST_REPORT=$(winpath "$WORK/report.txt") \
    "$WINE" "$WORK/tarvell.exe" >/dev/null 2>&1 &
PIDS+=($!)
for name in send_form address_book_mode0 address_book_mode11 sender_settings connection_settings \
    options about; do
    for _ in $(seq 600); do
        grep -qx "signal $name" "$WORK/report.txt" 2>/dev/null && break
        grep -q '^FAIL' "$WORK/report.txt" 2>/dev/null && break
        sleep 0.1
    done
    if ! grep -qx "signal $name" "$WORK/report.txt" 2>/dev/null; then
        echo "screenshots.sh: the window never showed $name" >&2
        cat "$WORK/report.txt" >&2 2>/dev/null || true
        exit 1
    fi
    shot "${TITLE[$name]}" "$name.png"
    touch "$WORK/go-$name"
done
wait "${PIDS[-1]}" || true
/usr/lib/wine/wineserver -k 2>/dev/null || true
