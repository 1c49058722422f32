#!/usr/bin/env bash
# install_test.sh BUILD_DIR MODE - checks the installed program:
#   staging    cmake --install into a staging prefix; the installed program, started headless from
#              a prefix it cannot write, keeps its files in $XDG_DATA_HOME/tarvell, and
#              tarvell-config finds the same folder.
#   validators desktop-file-validate and appstreamcli on the installed menu entry and metainfo.
#   deb        cpack -G DEB: the package's contents, its dependencies, and lintian without errors.
# Exits 77 (skipped, with the reason) when a tool it needs is missing.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
MODE=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
chmod 755 "$WORK"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || skip "$1 is not installed (scripts/setup.sh installs it)"; }

stage()
{
    cmake --install "$BUILD" --prefix "$WORK/stage/usr" >/dev/null
}

case "$MODE" in
staging)
    stage
    for f in bin/tarvell bin/tarvell-config bin/tarvell-batch share/applications/org.example.tarvell.desktop \
        share/metainfo/org.example.tarvell.metainfo.xml share/icons/hicolor/scalable/apps/tarvell.svg \
        share/icons/hicolor/48x48/apps/tarvell.png share/man/man1/tarvell.1.gz \
        share/man/ja/man1/tarvell-config.1.gz share/man/man1/tarvell-batch.1.gz share/doc/tarvell/manual/index.html; do
        [ -s "$WORK/stage/usr/$f" ] || fail "not installed: $f"
    done
    # A prefix the user cannot write: as root, run as nobody; otherwise take the write bits away.
    XDG=$WORK/xdg
    mkdir -p "$XDG" "$WORK/home"
    RUN=()
    if [ "$(id -u)" -eq 0 ]; then
        need setpriv
        chown 65534:65534 "$XDG" "$WORK/home"
        RUN=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    else
        chmod -R a-w "$WORK/stage"
    fi
    ENV=(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR HOME="$WORK/home" XDG_DATA_HOME="$XDG")
    status=0
    timeout 60 "${RUN[@]}" "${ENV[@]}" "$WORK/stage/usr/bin/tarvell" /quit || status=$?
    [ "$status" -eq 0 ] || fail "the installed program ended with status $status"
    [ "$(stat -c %s "$XDG/tarvell/Tarvell.cfg")" -eq 776 ] || fail "no Tarvell.cfg in $XDG/tarvell"
    [ -d "$XDG/tarvell/log" ] && [ -d "$XDG/tarvell/keep" ] || fail "no log/ and keep/ in $XDG/tarvell"
    [ "$(stat -c %a "$XDG/tarvell")" = 700 ] || fail "$XDG/tarvell is not private to its owner"
    ! ls "$WORK/stage/usr/bin" | grep -qv '^tarvell' || fail "files written beside the binary"
    "${RUN[@]}" "${ENV[@]}" "$WORK/stage/usr/bin/tarvell-config" sender set login=taro </dev/null
    "${RUN[@]}" "${ENV[@]}" "$WORK/stage/usr/bin/tarvell-config" sender show | grep -qx login=taro ||
        fail "tarvell-config does not use the program's data folder"
    [ -s "$XDG/tarvell/SenderInf.tvl" ] || fail "tarvell-config wrote elsewhere"
    ! ldd "$WORK/stage/usr/bin/tarvell-batch" | grep -q libQt || fail "tarvell-batch links Qt"
    status=0
    timeout 60 "${RUN[@]}" "${ENV[@]}" "$WORK/stage/usr/bin/tarvell-batch" /quit || status=$?
    [ "$status" -eq 0 ] || fail "the installed tarvell-batch ended with status $status"
    "${RUN[@]}" "${ENV[@]}" "$WORK/stage/usr/bin/tarvell-config" sender show | grep -qx login=taro ||
        fail "tarvell-batch does not use the program's data folder"
    echo "staging: the installed program keeps its files in \$XDG_DATA_HOME/tarvell"
    ;;
validators)
    need desktop-file-validate
    need appstreamcli
    stage
    desktop-file-validate "$WORK/stage/usr/share/applications/org.example.tarvell.desktop"
    appstreamcli validate --no-net "$WORK/stage/usr/share/metainfo/org.example.tarvell.metainfo.xml"
    ;;
deb)
    need dpkg-deb
    need dpkg-shlibdeps
    cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >/dev/null
    DEB=$(ls "$WORK"/pkg/tarvell_*.deb)
    dpkg-deb -c "$DEB" | awk '{print $6}' > "$WORK/contents"
    for f in ./usr/bin/tarvell ./usr/bin/tarvell-config ./usr/bin/tarvell-batch \
        ./usr/share/applications/org.example.tarvell.desktop \
        ./usr/share/metainfo/org.example.tarvell.metainfo.xml \
        ./usr/share/icons/hicolor/scalable/apps/tarvell.svg \
        ./usr/share/icons/hicolor/256x256/apps/tarvell.png \
        ./usr/share/man/man1/tarvell.1.gz ./usr/share/man/man1/tarvell-config.1.gz \
        ./usr/share/man/ja/man1/tarvell.1.gz ./usr/share/man/ja/man1/tarvell-config.1.gz \
        ./usr/share/man/man1/tarvell-batch.1.gz ./usr/share/man/ja/man1/tarvell-batch.1.gz \
        ./usr/share/doc/tarvell/copyright ./usr/share/doc/tarvell/changelog.gz \
        ./usr/share/doc/tarvell/manual/index.html ./usr/share/doc/tarvell/manual/images/send_form.png; do
        grep -qx "$f" "$WORK/contents" || fail "the package lacks $f"
    done
    depends=$(dpkg-deb -f "$DEB" Depends)
    for dep in libc6 libqt6widgets6 qt6-qpa-plugins xdg-utils qt6-translations-l10n fonts-noto-cjk; do
        echo "$depends" | grep -q "$dep" || fail "Depends lacks $dep: $depends"
    done
    need lintian
    errors=$(lintian "$DEB" 2>/dev/null | grep '^E:' || true)
    [ -z "$errors" ] || fail "lintian: $errors"
    echo "deb: $(basename "$DEB"), Depends: $depends"
    ;;
*)
    fail "unknown mode $MODE"
    ;;
esac
