#!/bin/sh
# Builds the .deb (make package) and checks it the way Debian would: lintian must find
# no error, and the package's control data must carry the computed dependencies.
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
