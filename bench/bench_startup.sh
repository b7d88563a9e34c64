#!/bin/sh
# How long the window takes to be on screen after the program starts, on a virtual
# display: the median of ROUNDS starts, next to the 0.25 s aimed at. The moment the
# window is mapped is taken from the X server's own event, seen by a small watcher.
# Usage: bench/bench_startup.sh [BUILD] [ROUNDS]   (needs Xvfb and the xcb headers)
set -e
build=${1:-build}
rounds=${2:-7}
program=$(cd "$build/bin" && pwd)/corvane-studio
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
cc -O2 -o "$work/mapwatch" "$(dirname "$0")/mapwatch.c" -lxcb
Xvfb :77 -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=:77 XDG_CONFIG_HOME="$work/config"
times=""
for i in $(seq "$rounds"); do
    rm -f "$work/mapped"
    mkfifo "$work/mapped"
    "$work/mapwatch" > "$work/mapped" &
    watcher=$!
    exec 3< "$work/mapped"
    read -r ready <&3
    start=$(date +%s.%N)
    "$program" >/dev/null 2>&1 &
    pid=$!
    read -r end <&3
    exec 3<&-
    wait "$watcher" || true
    sleep 0.5 # the first start finishes its own work before it is closed
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    times="$times $(echo "$end - $start" | bc)"
done
median=$(echo $times | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
printf '%-40s %8s %8s %6s\n' "measure" "a (s)" "b (s)" "a/b"
printf '%-40s %8.3f %8.3f %6.2f\n' "window on screen after start / 0.25 s" "$median" 0.25 "$(echo "$median / 0.25" | bc -l)"
