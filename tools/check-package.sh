#!/bin/sh
# Builds the .deb (make package) and checks it the way Debian would: lintian must find
# no error, the package's control data must carry the computed dependencies, and
# systemd must accept the watched-folder unit it installs.
#
#   tools/check-package.sh [BUILD_DIR]
set -eu
build=${1:-build}
cmake --build "$build" --target package >/dev/null
deb=$(ls -t "$build"/corvane-studio_*.deb | head -n 1)
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Architecture Installed-Size Depends Recommends
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "lintian: no errors"

# The watched-folder service as systemd reads it, for an instance made the way the README
# makes one. systemd-analyze cannot read user units under another root, so the unit is
# read from a folder of its own with its program where the package put it; any remark
# (an unknown key, a value it ignores) fails the check, as a warning is all it gives.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
unit=$work/root/usr/lib/systemd/user/corvane-studio-watch@.service
[ -f "$unit" ] || { echo "the package holds no corvane-studio-watch@.service" >&2; exit 1; }
grep -q '^ExecStart=/usr/bin/corvane-studio ' "$unit" || { echo "the unit does not start /usr/bin/corvane-studio" >&2; exit 1; }
mkdir "$work/units" "$work/runtime"
chmod 700 "$work/runtime"
sed "s|^ExecStart=/|ExecStart=$work/root/|" "$unit" > "$work/units/corvane-studio-watch@.service"
instance=$(systemd-escape --path --template=corvane-studio-watch@.service "/srv/videos/new clips")
remarks=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze verify --user --man=no "$work/units/$instance" 2>&1) || true
if [ -n "$remarks" ]; then
    echo "systemd-analyze verify $instance:" >&2
    echo "$remarks" >&2
    exit 1
fi
echo "systemd-analyze verify $instance: no remarks"
