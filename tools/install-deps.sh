#!/bin/sh
# Installs the Debian packages CorvaneStudio needs to build, run and test,
# asking apt-get only for those that are missing.
set -e
PACKAGES="make cmake ninja-build g++ pkg-config ccache
clang libclang-rt-14-dev
qt6-base-dev qt6-base-dev-tools
libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libswresample-dev libavutil-dev libavdevice-dev
libmpv-dev
fonts-dejavu-core fonts-wqy-microhei
xvfb xauth
file dpkg-dev desktop-file-utils appstream lintian
dbus-daemon parallel rsync
at-spi2-core python3-pyatspi systemd"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
