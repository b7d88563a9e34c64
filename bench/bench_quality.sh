#!/bin/sh
# Our modern profiles against HandBrake's matching presets on the same clips: time,
# output size and SSIM against the source, side by side, with ours/theirs ratios.
# Usage: bench/bench_quality.sh [BUILD] [SECONDS]
# Needs HandBrakeCLI (apt-get install handbrake-cli) and the ffmpeg program for SSIM;
# without them it says so and exits.
set -e
build=${1:-build}
seconds=${2:-20}
bin=$(cd "$build/bin" && pwd)
for tool in HandBrakeCLI ffmpeg; do
    command -v "$tool" >/dev/null || { echo "bench_quality: $tool is not installed, nothing measured"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache"

# A source with motion, detail and sound, made by our engine nearly losslessly.
clip() { # SECONDS SIZE OUT
    "$bin/mirracore" -y -f lavfi -i "testsrc2=size=$2:rate=30:duration=$1,noise=alls=6:allf=t+u" \
        -f lavfi -i "sine=frequency=440:duration=$1" -vcodec libx264 -crf 8 -preset veryfast -acodec aac -ab 192 "$3" >/dev/null
}
clip "$seconds" 1280x720 "$work/source.mp4"
clip 4 1280x720 "$work/short.mp4"

now() { date +%s.%N; }
ssim() { # OUT SOURCE: the mean SSIM of the luma and chroma, the output scaled to the source's size first
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$2")
    ffmpeg -nostdin -v error -i "$1" -i "$2" -lavfi "[0:v]scale=${size%x*}:${size#*x}:flags=bicubic[a];[a][1:v]ssim=stats_file=-" \
        -f null - | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^All:/) {split($i, v, ":"); s += v[2]; n++}} END {printf "%.4f", s / n}'
}
bytes() { stat -c %s "$1"; }

printf '%-44s %-22s %7s %7s %5s %8s %8s %5s %7s %7s %6s\n' "ours" "HandBrake" "s ours" "s HB" "ratio" \
    "KB ours" "KB HB" "ratio" "SSIM us" "SSIM HB" "diff"
pair() { # PROFILE PRESET SOURCE EXT
    mkdir -p "$work/ours"
    rm -f "$work"/ours/*
    t0=$(now)
    "$bin/corvane-studio" --convert --profile "$1" --dest "$work/ours" "$3" >/dev/null
    t1=$(now)
    ours=$(ls "$work"/ours/*)
    theirs="$work/theirs.$4"
    HandBrakeCLI -i "$3" -o "$theirs" --preset "$2" >/dev/null 2>&1
    t2=$(now)
    a=$(echo "$t1 - $t0" | bc -l); b=$(echo "$t2 - $t1" | bc -l)
    sa=$(bytes "$ours"); sb=$(bytes "$theirs")
    qa=$(ssim "$ours" "$3"); qb=$(ssim "$theirs" "$3")
    printf '%-44s %-22s %7.2f %7.2f %5.2f %8d %8d %5.2f %7.4f %7.4f %+6.4f\n' "$1" "$2" "$a" "$b" "$(echo "$a / $b" | bc -l)" \
        $((sa / 1024)) $((sb / 1024)) "$(echo "$sa / $sb" | bc -l)" "$qa" "$qb" "$(echo "$qa - $qb" | bc -l)"
}
pair "MP4 H.264 (fast, constant quality)" "Fast 720p30" "$work/source.mp4" mp4
pair "MP4 H.264 (high quality)" "HQ 1080p30 Surround" "$work/source.mp4" mp4
pair "MP4 H.265 (constant quality)" "H.265 MKV 1080p30" "$work/source.mp4" mkv
pair "WebM VP9 / Opus" "VP9 MKV 1080p30" "$work/source.mp4" mkv
pair "MKV AV1 (SVT-AV1) / Opus" "AV1 MKV 2160p60 4K" "$work/short.mp4" mkv
pair "MP4 (H.264/AAC)" "Fast 720p30" "$work/source.mp4" mp4

# Stream copy against re-encoding the same clip.
t0=$(now)
"$bin/corvane-studio" --convert --profile "Copy streams into MKV (no re-encoding)" --dest "$work/copy" "$work/source.mp4" >/dev/null
t1=$(now)
"$bin/corvane-studio" --convert --profile "MP4 H.264 (fast, constant quality)" --dest "$work/encoded" "$work/source.mp4" >/dev/null
t2=$(now)
printf '\n%-44s %7.2f s / %7.2f s = %5.3f\n' "stream copy / re-encoding (${seconds} s clip)" "$(echo "$t1 - $t0" | bc -l)" \
    "$(echo "$t2 - $t1" | bc -l)" "$(echo "($t1 - $t0) / ($t2 - $t1)" | bc -l)"
