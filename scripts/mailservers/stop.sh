#!/bin/sh
# stop.sh WORKDIR - stop the private Postfix and Dovecot started by start.sh and remove WORKDIR.
set -u
WORK=${1:?usage: stop.sh WORKDIR}
case "$WORK" in
    /tmp/tvms.*) ;;
    *) echo "mailservers: refusing to remove $WORK" >&2; exit 2 ;;
esac
[ -f "$WORK/pf/etc/main.cf" ] && postfix -c "$WORK/pf/etc" stop >/dev/null 2>&1
if [ -f "$WORK/dv/dovecot.conf" ]; then
    doveadm -c "$WORK/dv/dovecot.conf" stop >/dev/null 2>&1 \
        || { [ -f "$WORK/dv/run/master.pid" ] && kill "$(cat "$WORK/dv/run/master.pid")" 2>/dev/null; }
fi
[ -f "$WORK/pf/policy.pid" ] && kill "$(cat "$WORK/pf/policy.pid")" 2>/dev/null
# Give the masters a moment to go before their folders vanish.
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -f "$WORK/pf/data/master.lock" ] || [ -f "$WORK/dv/run/master.pid" ] || break
    pf_running=0; dv_running=0
    [ -f "$WORK/pf/queue/pid/master.pid" ] && kill -0 "$(tr -d ' ' < "$WORK/pf/queue/pid/master.pid")" 2>/dev/null && pf_running=1
    [ -f "$WORK/dv/run/master.pid" ] && kill -0 "$(cat "$WORK/dv/run/master.pid")" 2>/dev/null && dv_running=1
    [ $pf_running = 0 ] && [ $dv_running = 0 ] && break
    sleep 0.3
done
rm -rf "$WORK"
