#!/bin/sh
# The main window read over AT-SPI as a screen reader reads it: the program runs from a
# copy of the program folder of its own, under Xvfb, with a session bus (and so an
# accessibility bus) of its own, and atspi_check.py walks what it shows (with Debian's
# python3, which holds python3-pyatspi, whatever python3 comes first in the PATH).
#
#   run-atspi-check.sh PROGRAM_FOLDER
set -eu
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/corvane-atspi-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The program finds its folder from its own file: a copy of it, the rest linked; the
# settings file is copied so that the build folder's stays as it is.
mkdir "$work/program"
for f in "$bin"/*; do
    case $(basename "$f") in
        corvane-studio|MirraSoft.ini) cp "$f" "$work/program/" ;;
        user|cache|run.log) ;;
        *) ln -s "$f" "$work/program/" ;;
    esac
done
chmod u+w "$work/program/MirraSoft.ini"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" \
       XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
    dbus-run-session -- /usr/bin/python3 "$here/atspi_check.py" "$work/program/corvane-studio"
