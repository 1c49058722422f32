#!/usr/bin/env bash
# check_readers.sh - a standalone look at how mail readers show what Tarvell sends (not part of
# the tests). It sends about twenty messages with the built tarvell binary, headless, through
# private Postfix and Dovecot on loopback (scripts/mailservers), then decodes each delivered
# message with Python email (policy.default and compat32), Perl MIME-tools and Email::MIME,
# Ruby mail, mutt and neomutt, nkf, munpack and ripmime and compares subject, names, addresses,
# body and attachment with what was typed; finally SpamAssassin scores each message with its
# local tests. Exits 0 only when every reader shows every message as typed and no rule caused
# by the message's composition fires.
#
#   bash scripts/check_readers.sh              needs root and a build (scripts/build.sh)
#   TARVELL_READERS_DIR=DIR bash scripts/check_readers.sh
#                                              keeps the messages and what was typed in DIR
#   READERS_ONLY=ID,ID bash scripts/check_readers.sh
#                                              sends only those messages (ids in send_cases.py)
set -euo pipefail
cd "$(dirname "$0")/.."
TOP=$PWD

bash scripts/install_packages.sh python3 postfix dovecot-pop3d bsdutils libmime-tools-perl \
  libemail-mime-perl libjson-pp-perl ruby-mail mutt neomutt nkf mpack ripmime spamassassin
for binary in build/tarvell build/tarvell-config; do
  if [ ! -x "$binary" ]; then
    echo "check_readers: $binary is missing; build first:" >&2
    echo "  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build --target tarvell tarvell-config" >&2
    exit 2
  fi
done

if ! start_out=$(sh scripts/mailservers/start.sh 2>&1); then
  echo "check_readers: the local mail servers cannot run here:" >&2
  echo "$start_out" >&2
  exit 2
fi
WORK=$(printf '%s\n' "$start_out" | tail -n 1)
trap 'sh "$TOP/scripts/mailservers/stop.sh" "$WORK" >/dev/null 2>&1 || true' EXIT

OUT=${TARVELL_READERS_DIR:-$WORK/messages}
mkdir -p "$OUT"
rm -f "$OUT"/*.eml "$OUT"/*.json "$OUT"/*.log
start=$(date +%s)
status=0
python3 scripts/readers/send_cases.py --build build --env "$WORK/env" --out "$OUT" \
  --only "${READERS_ONLY:-}" || status=1
python3 scripts/readers/check.py "$OUT" || status=1
echo "check_readers: $(( $(date +%s) - start )) s; messages in $OUT$([ -n "${TARVELL_READERS_DIR:-}" ] || echo ' (removed at exit; set TARVELL_READERS_DIR to keep them)')"
exit "$status"
