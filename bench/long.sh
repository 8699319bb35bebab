#!/usr/bin/env bash
# Long-recording benchmark: one generated FLAC of `hours` hours (44.1 kHz stereo 16-bit, a tone under
# noise) converted to WAV (past 4 GiB, so RF64) and to FLAC by wavetrove-cli and by FFmpeg / the flac tool
# doing the same work. Prints the best wall time of `runs` alternating runs, the ratio, wavetrove-cli's
# peak resident memory beside its memory for a 1-minute file of the same kind (it must stay within 10 MB),
# and checks every output's length with ffprobe.
#
#   bench/long.sh [hours] [runs]     defaults: 7 3
#
# Needs about 3 x 4.5 GB of free disk for 7 hours; everything is removed at the end.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
CLI=$BUILD/bin/wavetrove-cli
HOURS=${1:-7}
RUNS=${2:-3}
SECONDS_LONG=$(awk -v h="$HOURS" 'BEGIN { printf "%d", h * 3600 }')
FRAMES_LONG=$((SECONDS_LONG * 44100))

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
    -DWAVETROVE_GUI=OFF >/dev/null || return 1
  cmake --build "$BUILD" -j2 --target wavetrove-cli wavetrove-probe >/dev/null
}
# A tree that does not configure at the moment still leaves an earlier build to measure.
if ! build; then
  [ -x "$CLI" ] || { echo "long.sh: build failed" >&2; exit 1; }
  echo "long.sh: build failed; measuring the existing build in $BUILD" >&2
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/wavetrove-long.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME=$WORK/config  # the user's stored settings stay out of it
mkdir -p "$WORK/config" "$WORK/out"

# The same tone and noise for both lengths; FFmpeg writes the FLAC at level 5, as the program does.
make_source() {
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$2" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:sample_rate=44100:duration=$2:seed=7" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0,pan=stereo|c0=c0|c1=0.8*c0" \
    -c:a flac -compression_level 5 -sample_fmt s16 "$1"
}
echo "source: ${HOURS} h (${SECONDS_LONG} s, ${FRAMES_LONG} frames), 44.1 kHz stereo 16-bit FLAC; best of $RUNS alternating runs"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
make_source "$WORK/long.flac" "$SECONDS_LONG"
make_source "$WORK/minute.flac" 60
echo "source size: $(du -b "$WORK/long.flac" | cut -f1) bytes"
# The list's duration comes from the source's length in whole seconds.
PROBED=$("$BUILD/bin/wavetrove-probe" "$WORK/long.flac" | sed -n 's/^duration: //p')
echo "wavetrove-probe duration: $PROBED s (expected $SECONDS_LONG)"
[ "$PROBED" = "$SECONDS_LONG" ] || { echo "long.sh: wrong duration" >&2; exit 1; }

# "wall peak-kB" of one run of "$@".
measure() {
  local stats
  stats=$(mktemp)
  /usr/bin/time -f "%e %M" -o "$stats" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; cat "$stats" >&2; exit 1; }
  cat "$stats"
  rm -f "$stats"
}
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
larger() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a > b) ? a : b }'; }

# The output must state every frame of the source (WAV and FLAC streams count in 1/44100 s).
check_length() {
  local frames
  frames=$(ffprobe -v error -select_streams a:0 -show_entries stream=duration_ts \
    -of default=nw=1:nk=1 "$1" | head -1)
  [ "$frames" = "$2" ] || { echo "long.sh: $1 holds $frames frames, not $2" >&2; exit 1; }
}

row() {
  local format=$1 ext=$2 reference_name=$3
  shift 3
  local ours_wall="" ours_mem="" ref_wall="" w m run minute_mem
  for run in $(seq 1 "$RUNS"); do
    rm -f "$WORK"/out/*
    read -r w m <<<"$(measure "$CLI" -q -j 1 -f "$format" -o "$WORK/out" "$WORK/long.flac")"
    check_length "$WORK/out/long.$ext" "$FRAMES_LONG"
    if [ "$run" = 1 ] && [ "$ext" = wav ]; then
      echo "  wavetrove's WAV header: $(head -c 4 "$WORK/out/long.wav"), $(du -b "$WORK/out/long.wav" | cut -f1) bytes"
    fi
    ours_wall=$(smaller "$w" "$ours_wall")
    ours_mem=$(larger "$m" "$ours_mem")
    rm -f "$WORK"/out/*
    read -r w m <<<"$(measure "$@")"
    check_length "$WORK/out/ref.$ext" "$FRAMES_LONG"
    ref_wall=$(smaller "$w" "$ref_wall")
    rm -f "$WORK"/out/*
  done
  read -r w minute_mem <<<"$(measure "$CLI" -q -j 1 -f "$format" -o "$WORK/out" "$WORK/minute.flac")"
  rm -f "$WORK"/out/*
  printf '%-5s wavetrove %8.2f s   %-22s %8.2f s   ratio %.3f   peak RSS %d kB (1 minute: %d kB, difference %d kB)\n' \
    "$format" "$ours_wall" "$reference_name" "$ref_wall" "$(awk -v a="$ours_wall" -v b="$ref_wall" 'BEGIN { print a / b }')" \
    "$ours_mem" "$minute_mem" "$((ours_mem - minute_mem))"
  if [ $((ours_mem - minute_mem)) -gt 10240 ]; then
    echo "long.sh: memory grew with the length by more than 10 MB" >&2
    exit 1
  fi
}

row wav wav "ffmpeg -rf64 auto" ffmpeg -nostdin -v error -y -i "$WORK/long.flac" -c:a pcm_s16le -rf64 auto "$WORK/out/ref.wav"
row flac flac "flac -5" flac -s -f -5 -o "$WORK/out/ref.flac" "$WORK/long.flac"
# AIFF cannot state more than 4 GiB of sound: past it the file fails with exit status 2 and leaves nothing.
if [ "$FRAMES_LONG" -gt $((0xFFFFFFFF / 4)) ]; then
  status=0
  "$CLI" -q -j 1 -f aiff -o "$WORK/out" "$WORK/long.flac" >"$WORK/aiff.log" 2>&1 || status=$?
  echo "aiff: exit status $status, log: $(grep -o 'Conversion failed for: .*' "$WORK/aiff.log"), files left: $(ls -A "$WORK/out" | wc -l)"
  [ "$status" = 2 ] && [ -z "$(ls -A "$WORK/out")" ] || { echo "long.sh: AIFF was not refused cleanly" >&2; exit 1; }
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
