#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs every Windows test under wine64:
# the core's tests, tarvell-config.exe and the window (tarvell.exe in Xvfb) through CTest, each
# test program in a Wine prefix of its own below build-windows/tests/wine/; then the checks that
# pair a Windows program with the Linux build (build/, made by scripts/build.sh): the Schannel
# client against the Linux fake TLS servers, tarvell-config.exe and tarvell-batch.exe against
# real Postfix and Dovecot, and the installer installed and removed silently.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# A test is run once more when it fails: a Wine program now and then fails to start at all (no
# output, within a tenth of a second) while its prefix's wineserver is exiting; a real fault
# fails twice.
ctest --test-dir build-windows --output-on-failure -j"${TARVELL_JOBS:-$(nproc)}" --timeout 300 \
  --repeat until-pass:2 2>&1 | tee "$log" || status=$?
summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
passed=0
failed=0
if [ -n "$summary" ]; then
  failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  passed=$((total - failed))
fi

# One paired check: passed, failed or skipped (status 77) by its exit status.
check() { # NAME COMMAND...
  local name=$1 rc=0
  shift
  echo "== windows: $name"
  "$@" || rc=$?
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  elif [ "$rc" -eq 77 ]; then
    echo "== windows: $name skipped"
  else
    echo "== windows: $name FAILED (status $rc)"
    failed=$((failed + 1))
    status=1
  fi
}
if [ -x build/tests/tarvell_mail_tests ]; then
  wine_tls() {
    TARVELL_TLS_PROBE=$PWD/build-windows/tests/wine/tarvell_tls_probe.exe \
      WINEPREFIX=$PWD/build-windows/tests/wine/tls TARVELL_NET_TIMEOUT=5 \
      build/tests/tarvell_mail_tests --gtest_filter='*TlsParity*Wine_*'
  }
  check "Schannel against the fake TLS servers" wine_tls
  check "the programs against Postfix and Dovecot" \
    bash tests/windows/send_test.sh build-windows build
else
  echo "== windows: no Linux build in build/ (scripts/build.sh): the paired checks are left out"
fi
install_test() {
  bash scripts/package-windows.sh >/dev/null &&
    bash tests/install/windows_install_test.sh build-windows/dist/tarvell-*-setup.exe
}
check "the installer" install_test
ls -l build-windows/dist/ 2>/dev/null | grep -E 'setup\.exe|\.zip' || true
echo "tests: $passed passed, $failed failed (Windows)"
exit "$status"
