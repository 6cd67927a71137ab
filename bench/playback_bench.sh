#!/bin/bash
# Playback cost: CPU seconds (user + system of the process) to play 60 s of a
# realistic 704x480 30 pictures/s recording with sound at 1x in korvid,
# against ffplay playing the AVI the converter writes from the same
# recording, both under the same Xvfb server. Usage: playback_bench.sh BIN_DIR [RUNS]
set -euo pipefail
bin="$(cd "$1" && pwd)"
runs="${2:-3}"
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$bin/qmr3gen" --from testsrc2 --size 704x480 --fps 30 --gop 15 --seconds 60 --kbps 1500 --audio pcm \
    "$work/play.qmr3" >/dev/null
"$bin/qmr3tool" export "$work/play.qmr3" --from 0 --to 60 --format avi "$work/play.avi" >/dev/null

# A display of our own, so nothing else draws on it.
display=""
for n in $(seq 150 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "playback_bench: no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
tck="$(getconf CLK_TCK)"

# user + system seconds of a running process, from /proc/PID/stat.
cpu_of() { awk -v t="$tck" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / t }' "/proc/$1/stat"; }

# korvid has no end of its own: it is sampled once the recording has played
# (60 s after its window came up, plus a little) and then ended.
korvid_run() {
    local home="$work/home-$1"
    mkdir -p "$home"
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home" \
        KORVID_TEMP_DIR="$home/temp" KORVID_INSTANCE_KEY="bench-$$-$1" \
        KORVID_AUDIO_SINK="${KORVID_AUDIO_SINK:-fakesink}" \
        "$bin/korvid" "$work/play.qmr3" >/dev/null 2>&1 &
    local pid=$!
    sleep 62
    local cpu
    cpu="$(cpu_of "$pid")"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$cpu"
}

# ffplay ends by itself at the end of the file; its sound goes to SDL's dummy driver.
ffplay_run() {
    SDL_AUDIODRIVER=dummy /usr/bin/time -f "%U %S" -o "$work/time" \
        ffplay -autoexit -loglevel quiet "$work/play.avi" >/dev/null 2>&1 || true
    awk '{ printf "%.2f", $1 + $2 }' "$work/time"
}

k=()
f=()
for run in $(seq "$runs"); do
    k+=("$(korvid_run "$run")")
    f+=("$(ffplay_run)")
    echo "run $run: korvid ${k[-1]} s, ffplay ${f[-1]} s of CPU"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
km="$(median "${k[@]}")"
fm="$(median "${f[@]}")"
ratio="$(awk -v a="$km" -v b="$fm" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')"
met="$(awk -v r="$ratio" 'BEGIN { print (r <= 1.0) ? "met" : "not met" }')"
echo "playback: 60 s of 704x480, 30 pictures/s (testsrc2, x264 at 1.5 Mbit/s, 8 kHz PCM sound) under Xvfb; median of $runs: korvid $km s, ffplay (the same pictures as AVI) $fm s of CPU"
echo "RESULT|Playback cost, CPU seconds for 60 s at 1x (704x480)|$km s|ffplay: $fm s|$ratio|<= 1.0|$met"
