#!/usr/bin/env bash
# send_test.sh BUILD-WINDOWS-DIR BUILD-LINUX-DIR - the Windows programs under Wine, from outside,
# against private Postfix and Dovecot on loopback (scripts/mailservers, TLS mode):
#  1. tarvell-config.exe writes the sender record (the same bytes as the Linux tarvell-config's);
#  2. tarvell-batch.exe /sendon /quit /sendinf=... sends a Japanese mail with a Japanese-named
#     attachment, once POP before SMTP and once over STARTTLS + SMTP AUTH with the test CA; each
#     delivered message decodes right (check_message.py: subject, names, body, attachment bytes),
#     the log has its line and the keep copy holds the body as sent; then a group book that
#     tarvell-config.exe imported from CSV, every member sent to and listed in the results file;
#  3. a server that names another host, one signed by another CA, and a server without STARTTLS
#     are refused, and nothing reaches the outbox.
# Exits 77 (skipped) when Wine or the servers cannot run here.
set -euo pipefail
win=$(realpath "$1")
linux=$(realpath "$2")
top=$(cd "$(dirname "$0")/../.." && pwd)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "SKIPPED: wine64 is not installed"; exit 77; }
status=0
WORK=$(MAILSERVERS_TLS=1 sh "$top/scripts/mailservers/start.sh" | tail -n 1) || status=$?
[ "$status" -eq 0 ] || { echo "SKIPPED: the mail servers cannot run here"; exit 77; }
# shellcheck disable=SC1091
. "$WORK/env"
tmp=$(mktemp -d /tmp/tarvell-wine-send.XXXXXX)
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  sh "$top/scripts/mailservers/stop.sh" "$WORK" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
sjis() { printf '%b' "$1" | iconv -f UTF-8 -t CP932; }
# A Linux path as Wine's drive Z: shows it.
winpath() { echo "Z:${1//\//\\}"; }

# The inputs: a body, an attachment with a Japanese name, in a folder with a Japanese name.
in="$tmp/入力"
mkdir -p "$in"
sjis '%NAME様\r\nお見積りをお送りします。\r\n敬具\r\n' > "$in/本文.txt"
printf '%s\n' 佐藤花子様 お見積りをお送りします。 敬具 > "$tmp/expected-body.txt"
head -c 70000 /dev/urandom > "$in/見積書.pdf"

# One program folder per run: the programs and their records side by side.
setup_folder() { # NAME SMTP POP3 [delivery settings...]
  local name=$1 dir="$tmp/$1" smtp=$2 pop=$3
  shift 3
  mkdir -p "$dir"
  cp "$win/tarvell-batch.exe" "$win/tarvell-config.exe" "$dir/"
  echo "$MAIL_PASS" | "$wine" "$dir/tarvell-config.exe" sender set name=山田太郎 \
    address=taro@example.jp "smtp=$smtp" "pop3=$pop" "login=$MAIL_USER" --password-stdin ||
    fail "$name: tarvell-config.exe sender set"
  if [ $# -gt 0 ]; then
    "$wine" "$dir/tarvell-config.exe" delivery set "$@" >/dev/null || fail "$name: delivery set $*"
  fi
  # (printf %s: the Windows paths hold backslashes that %b would take for escapes.)
  printf '%s\r\n' Name=佐藤花子 Address=hanako@example.jp Title=お見積りの件 \
    "TextFile=$(winpath "$in/本文.txt")" "BinFile=$(winpath "$in/見積書.pdf")" |
    iconv -f UTF-8 -t CP932 > "$dir/send.inf"
}
send() { # NAME -> status of tarvell-batch.exe; output in NAME.out / NAME.err
  local dir="$tmp/$1" rc=0
  (cd "$dir" && timeout 120 "$wine" "$dir/tarvell-batch.exe" /sendon /quit /sendinf=send.inf \
     >"$tmp/$1.out" 2>"$tmp/$1.err") || rc=$?
  return $rc
}
outbox_count() { find "$OUTBOX" -name 'msg.*.eml' | wc -l; }

# 1. The sender record is byte for byte what the Linux tarvell-config writes.
mkdir -p "$tmp/linux"
cp "$linux/tarvell-config" "$tmp/linux/"
echo "$MAIL_PASS" | "$tmp/linux/tarvell-config" sender set name=山田太郎 address=taro@example.jp \
  "smtp=127.0.0.1:$SMTP_PORT" "pop3=127.0.0.1:$POP3_PORT" "login=$MAIL_USER" --password-stdin

check_sent() { # NAME
  local dir="$tmp/$1" report
  grep -q '送信成功' "$tmp/$1.out" || fail "$1: no success on the status line: $(cat "$tmp/$1.out" "$tmp/$1.err")"
  if ! report=$(python3 "$top/scripts/mailservers/check_message.py" --outbox "$OUTBOX" \
      --subject お見積りの件 --from-name 山田太郎 --from-addr taro@example.jp \
      --to-name 佐藤花子 --to-addr hanako@example.jp --body-file "$tmp/expected-body.txt" \
      --attachment "$in/見積書.pdf" --attachment-name 見積書.pdf 2>&1); then
    fail "$1: the delivered message: $report"
  fi
  local log
  log=$(find "$dir/log" -name 'Tarvell_*.txt' | head -n 1)
  [ -n "$log" ] && iconv -f CP932 -t UTF-8 "$log" | grep -q '送信成功' ||
    fail "$1: no success line in the log"
  local keep
  keep=$(find "$dir/keep" -type f | head -n 1)
  [ -n "$keep" ] && cmp -s "$keep" <(sjis '佐藤花子様\r\nお見積りをお送りします。\r\n敬具\r\n') ||
    fail "$1: the keep copy is not the body as sent"
  rm -f "$OUTBOX"/msg.*
}

setup_folder plain "127.0.0.1:$SMTP_PORT" "127.0.0.1:$POP3_PORT"
rec=$(cd "$tmp/linux" && ls | grep -v tarvell-config)
for f in $rec; do
  cmp -s "$tmp/linux/$f" "$tmp/plain/$f" || fail "record $f differs from the Linux program's"
done
send plain || fail "plain: tarvell-batch.exe ended with status $?: $(cat "$tmp/plain.err")"
check_sent plain

# 2. STARTTLS + SMTP AUTH on the submission port, the server verified against the test CA.
setup_folder tls "localhost:$SUBMISSION_PORT" "localhost:$POP3_PORT" SmtpSecurity=starttls \
  Authentication=smtp-auth "CaFile=$(winpath "$CA_FILE")"
send tls || fail "tls: tarvell-batch.exe ended with status $?: $(cat "$tmp/tls.err")"
check_sent tls

# A group book made by tarvell-config.exe from a CSV file: every member gets the mail, and the
# group's results file says so.
setup_folder group "localhost:$SUBMISSION_PORT" "localhost:$POP3_PORT" SmtpSecurity=starttls \
  Authentication=smtp-auth "CaFile=$(winpath "$CA_FILE")"
printf '%s\r\n' 氏名,メールアドレス 会員一郎,ichiro@example.jp 会員二郎,jiro@example.jp |
  iconv -f UTF-8 -t CP932 > "$tmp/members.csv"
"$wine" "$tmp/group/tarvell-config.exe" book import @会員 "$(winpath "$tmp/members.csv")" >/dev/null ||
  fail "group: book import"
printf '%s\r\n' Address=@会員.tvl Title=お見積りの件 "TextFile=$(winpath "$in/本文.txt")" |
  iconv -f UTF-8 -t CP932 > "$tmp/group/send.inf"
send group || fail "group: tarvell-batch.exe ended with status $?: $(cat "$tmp/group.err")"
for _ in $(seq 100); do [ "$(outbox_count)" -ge 2 ] && break; sleep 0.2; done
[ "$(outbox_count)" -eq 2 ] || fail "group: $(outbox_count) messages delivered instead of 2"
results=$(find "$tmp/group/log/results" -name '*.tsv' | head -n 1)
[ -n "$results" ] && [ "$(grep -c '送信成功' "$results")" -eq 2 ] ||
  fail "group: the results file does not list both members as sent"
grep -q '成功 2 件' "$tmp/group.err" || fail "group: no summary on standard error: $(cat "$tmp/group.err")"
rm -f "$OUTBOX"/msg.*

# 3. Refused servers: nothing is sent, in the clear or otherwise.
refused() { # NAME SMTP [delivery settings...]
  local name=$1 smtp=$2
  shift 2
  setup_folder "$name" "$smtp" "localhost:$POP3_PORT" "$@"
  local rc=0
  send "$name" || rc=$?
  [ "$rc" -eq 1 ] || fail "$name: status $rc instead of 1: $(cat "$tmp/$name.err")"
  [ "$(outbox_count)" -eq 0 ] || fail "$name: a message was delivered"
  rm -f "$OUTBOX"/msg.*
}
refused wrong-host "127.0.0.1:$SUBMISSION_PORT" SmtpSecurity=starttls Authentication=smtp-auth \
  "CaFile=$(winpath "$CA_FILE")"
refused other-ca "localhost:$SUBMISSION_PORT" SmtpSecurity=starttls Authentication=smtp-auth \
  "CaFile=$(winpath "$OTHER_CA_FILE")"
refused no-starttls "localhost:$SMTP_PORT" SmtpSecurity=starttls Authentication=smtp-auth \
  "CaFile=$(winpath "$CA_FILE")"

[ "$failures" -eq 0 ] || exit 1
echo "PASSED: tarvell-config.exe and tarvell-batch.exe under Wine against Postfix and Dovecot"
