#!/bin/sh
# An installed copy used by a normal user: installs the build into a temporary DESTDIR,
# makes the tree read-only and, as an unprivileged user (or, when not run as root, as the
# caller, who then cannot write to the tree either), converts three clips headless, starts
# the window offscreen, hands it a file from a second start, edits and saves a profile
# (test_installed). Every write must land in the temporary XDG folders: the install tree
# and the home folder stay as they were. The desktop entry and the AppStream file are
# validated on the way.
#
#   check-installed.sh BUILD_DIR TEST_INSTALLED_PROGRAM
set -eu
build=$(cd "$1" && pwd)
gui_test=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

work=$(mktemp -d /tmp/corvane-installed-XXXXXX)
window=""
cleanup() {
    [ -n "$window" ] && kill "$window" 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

step "install into a temporary DESTDIR"
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
prefix=$root/usr
program=$prefix/bin/corvane-studio
id=org.corvanestudio.CorvaneStudio
for f in bin/corvane-studio lib/corvane-studio/mirracore lib/corvane-studio/libpreview.so \
         share/corvane-studio/profile.ini share/corvane-studio/MirraSoft.ini share/corvane-studio/Lang/English.ini \
         share/corvane-studio/help/corvane-studio/02-geting-help.html \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/corvane-studio.1.gz \
         share/doc/corvane-studio/copyright share/doc/corvane-studio/changelog.gz; do
    [ -s "$prefix/$f" ] || fail "not installed: $f"
done
strays=$(find "$root" -name 'test_*' -o -name 'bench_*' -o -name 'CMakeLists.txt')
[ -z "$strays" ] || fail "installed by mistake: $strays"

step "desktop-file-validate and appstreamcli validate"
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"

step "the tree made read-only; a user of our own"
chmod -R a-w "$root"
find "$root" -printf '%p %s %m %T@\n' | sort >"$work/tree-before"
home=$work/home
xdg=$work/xdg
mkdir -p "$home" "$xdg/config" "$xdg/data" "$xdg/state" "$xdg/cache" "$work/tmp" "$work/clips" "$work/out put"
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home" "$xdg" "$work/tmp" "$work/clips" "$work/out put"
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups --"
else
    as_user=""
fi
run() {
    $as_user env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" TMPDIR="$work/tmp" \
        XDG_CONFIG_HOME="$xdg/config" XDG_DATA_HOME="$xdg/data" XDG_STATE_HOME="$xdg/state" \
        XDG_CACHE_HOME="$xdg/cache" QT_QPA_PLATFORM=offscreen "$@"
}

step "--help and --version"
run "$program" --help | grep -q -- '--jobs N' || fail "--help does not list --jobs"
run "$program" --version | grep -qx 'corvane-studio [0-9][0-9.]*' || fail "--version: $(run "$program" --version)"

step "three clips made by the installed engine, converted headless"
engine=$prefix/lib/corvane-studio/mirracore
set -- "$work/clips/clip one.avi" "$work/clips/it's \"\$HOME\".mkv" "$work/clips/кадр 映像.mov"
for clip in "$@"; do
    run "$engine" -y -f lavfi -i "testsrc=size=160x120:rate=25:duration=2" -f lavfi \
        -i "sine=frequency=440:sample_rate=44100:duration=2" "$clip" >"$work/engine.log" 2>&1 ||
        { cat "$work/engine.log"; fail "the engine could not make $clip"; }
done
run "$program" --convert --dest "$work/out put" "$@" >"$work/headless.log" 2>&1 ||
    { cat "$work/headless.log"; fail "headless conversion"; }
converted=$(find "$work/out put" -name '*.mp4' -size +1k | wc -l)
[ "$converted" -eq 3 ] || { cat "$work/headless.log"; fail "$converted of 3 files converted"; }

step "the window offscreen, without XDG_RUNTIME_DIR; a second start hands it a file"
# Started as a plain command, not through run(): $! is then the program itself, not a
# subshell that would leave the window running when killed.
$as_user env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" TMPDIR="$work/tmp" \
    XDG_CONFIG_HOME="$xdg/config" XDG_DATA_HOME="$xdg/data" XDG_STATE_HOME="$xdg/state" \
    XDG_CACHE_HOME="$xdg/cache" QT_QPA_PLATFORM=offscreen "$program" >"$work/window.log" 2>&1 &
window=$!
for i in $(seq 1 100); do
    [ -n "$(find "$work/tmp" -type s 2>/dev/null)" ] && break
    kill -0 "$window" 2>/dev/null || { cat "$work/window.log"; fail "the window ended by itself"; }
    sleep 0.2
done
[ -n "$(find "$work/tmp" -type s 2>/dev/null)" ] || fail "the window never listened for a second start"
sleep 1
# The offscreen platform says it cannot raise the window; on a desktop that line never comes.
quiet() { ! grep -v 'This plugin does not support raise()' "$work/window.log"; }
quiet || fail "the window's start printed warnings"
run timeout 20 "$program" "$1" || fail "the second start did not hand its file over"
kill -0 "$window" 2>/dev/null || fail "the window ended after the hand-over"
state=$xdg/state/corvane-studio/queue.json
for i in $(seq 1 50); do
    grep -q 'clip one.avi' "$state" 2>/dev/null && break
    sleep 0.2
done
grep -q 'clip one.avi' "$state" 2>/dev/null || fail "the window did not keep its list in $state"
kill -9 "$window"
wait "$window" 2>/dev/null || true
window=""
quiet || fail "the window printed warnings"

step "the list of the killed window resumed headless, then nothing left to do"
run "$program" --convert --resume --dest "$work/out put/resumed" >"$work/resume.log" 2>&1 ||
    { cat "$work/resume.log"; fail "the kept list was not converted"; }
[ -s "$work/out put/resumed/clip one.mp4" ] || { cat "$work/resume.log"; fail "the kept file was not converted"; }
if run "$program" --convert --resume >"$work/resume.log" 2>&1; then
    cat "$work/resume.log"; fail "a completed file was converted again"
fi
grep -q 'Nothing to convert' "$work/resume.log" || { cat "$work/resume.log"; fail "resuming a done list"; }

step "Detail: a profile edited and saved (test_installed)"
mkdir -m 700 "$work/tmp/runtime-test" && [ -z "$as_user" ] || chown 65534:65534 "$work/tmp/runtime-test"
# The build tree may lie where that user cannot go (a clone in a private home folder): the
# test program runs from a copy beside the installed tree, on the installed libraries.
cp "$gui_test" "$work/test_installed" && chmod 755 "$work/test_installed"
run XDG_RUNTIME_DIR="$work/tmp/runtime-test" CORVANE_INSTALLED_PROGRAM="$program" \
    LD_LIBRARY_PATH="$prefix/lib/corvane-studio" "$work/test_installed" -silent || fail "test_installed"

step "nothing written into the install tree or the home folder"
find "$root" -printf '%p %s %m %T@\n' | sort >"$work/tree-after"
cmp -s "$work/tree-before" "$work/tree-after" || { diff "$work/tree-before" "$work/tree-after"; fail "the install tree changed"; }
[ -z "$(find "$home" -mindepth 1)" ] || { find "$home"; fail "files written outside the XDG folders"; }
[ -s "$xdg/config/corvane-studio/MirraSoft.ini" ] || fail "no settings in XDG_CONFIG_HOME"
[ -n "$(find "$xdg/data/corvane-studio/profiles" -name '*.ini')" ] || fail "no saved profile in XDG_DATA_HOME"
echo "PASS: installed tree used read-only; written: $(cd "$xdg" && find . -type f -path '*corvane-studio*' | sort | tr '\n' ' ')"
