#!/usr/bin/env bash
# demo.sh - the main job of Tarvell without a display: start private Postfix and Dovecot on
# loopback, prepare a demo program folder (the sender record and a group book from a CSV file
# through tarvell-config, a body file with placeholders, a Japanese-named attachment, a
# send-information file), run the automatic send to the group
#   tarvell /sendon /quit /sendinf=FOLDER/inf.txt
# and print the delivered message as a mail reader decodes it. Needs a build (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
TOP=$PWD

if ! start_out=$(sh scripts/mailservers/start.sh 2>&1); then
  echo "demo: the local mail servers cannot run here, so there is nowhere to send the demo mail:" >&2
  echo "$start_out" >&2
  echo "demo: it needs root and the Debian packages postfix and dovecot-pop3d (scripts/setup.sh)." >&2
  exit 2
fi
WORK=$(printf '%s\n' "$start_out" | tail -n 1)
trap 'sh "$TOP/scripts/mailservers/stop.sh" "$WORK" >/dev/null 2>&1 || true' EXIT
# shellcheck disable=SC1091
. "$WORK/env"

DEMO=$WORK/demo/
mkdir -p "$DEMO"
cp build/tarvell "$DEMO"
# The sender record, as a user without a display sets it up (the password only on standard input).
printf '%s\n' "$MAIL_PASS" | build/tarvell-config --dir "$DEMO" sender set --password-stdin \
  "name=送信 太郎" address=taro@example.jp "smtp=127.0.0.1:$SMTP_PORT" \
  "pop3=127.0.0.1:$POP3_PORT" "login=$MAIL_USER"

# A group book from a spreadsheet's CSV, as a user brings in a contact list.
cat > "$WORK/members.csv" <<'CSV'
No,氏名,メールアドレス
1,受信 花子,hanako@example.jp
2,"山田, 次郎",jiro@example.jp
CSV
build/tarvell-config --dir "$DEMO" book import @デモ "$WORK/members.csv"

# Texts on disk are Shift_JIS with CR LF line ends, as the program expects them.
to_sjis() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932; }
to_sjis > "${DEMO}本文.txt" <<'TEXT'
%NAME 様

Tarvell のデモです。
宛先: %MAILADDRESS
送信日時: %DATE %TIME

資料を添付します。
TEXT
head -c 3000 /dev/urandom > "${DEMO}資料.bin"
to_sjis > "${DEMO}inf.txt" <<TEXT
Name=デモ
Address=@デモ.tvl
Title=デモ送信のお知らせ
TextFile=${DEMO}本文.txt
BinFile=${DEMO}資料.bin
TEXT

echo "demo: sending with: tarvell /sendon /quit /sendinf=${DEMO}inf.txt"
start=$(date +%s.%N)
set +e
(cd "$DEMO" && env -u DISPLAY -u WAYLAND_DISPLAY ./tarvell /sendon /quit "/sendinf=${DEMO}inf.txt")
status=$?
set -e
end=$(date +%s.%N)
printf 'demo: tarvell exited with status %d after %.1f s\n' "$status" "$(echo "$end - $start" | bc -l 2>/dev/null || python3 -c "print($end - $start)")"

python3 - "$OUTBOX" <<'PY'
import email, email.policy, glob, os, sys, time
outbox = sys.argv[1]
deadline = time.time() + 30
while len(glob.glob(os.path.join(outbox, "msg.*.eml"))) < 2 and time.time() < deadline:
    time.sleep(0.2)
found = sorted(glob.glob(os.path.join(outbox, "msg.*.eml")), key=os.path.getmtime)
if not found:
    sys.exit("demo: no message arrived")
print(f"---- {len(found)} messages delivered; the first, decoded ----")
msg = email.message_from_bytes(open(found[0], "rb").read(), policy=email.policy.default)
for name in ("From", "To", "Subject"):
    print(f"{name}: {msg[name]}")
body = msg.get_body(preferencelist=("plain",))
print()
print(body.get_content().replace("\r\n", "\n").rstrip("\n"))
for part in msg.iter_attachments():
    print()
    print(f"attachment: {part.get_filename()} ({len(part.get_payload(decode=True))} bytes)")
PY
echo "demo: log entry (log/):"
iconv -f CP932 -t UTF-8 "$DEMO"log/*.txt | sed 's/\r$//'
exit "$status"
