#!/usr/bin/env bash
# Ripping benchmark of the CD add-on: builds a BIN/CUE image of a 20-minute disc (10 tracks of 2 minutes,
# 44.1 kHz stereo 16-bit), rips every track to WAV with wavetrove-cli on one worker thread and with
# cd-paranoia doing the same work (full paranoia, little-endian, one WAV per track), and prints the best
# wall and CPU times of alternating runs and the ratio program / cd-paranoia.
#
#   bench/cd.sh [minutes] [runs]     defaults: 20 3
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
MINUTES=${1:-20}
RUNS=${2:-3}
TRACKS=10

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
    -DWAVETROVE_GUI=OFF >/dev/null || return 1
  local targets=(wavetrove-cli)
  if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^tagwrapper:'; then targets+=(tagwrapper); fi
  cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
}
CLI=$BUILD/bin/wavetrove-cli
if ! build; then
  [ -x "$CLI" ] || { echo "cd.sh: build failed" >&2; exit 1; }
  echo "cd.sh: build failed; measuring the existing build in $BUILD" >&2
fi
command -v cd-paranoia >/dev/null || { echo "cd.sh: cd-paranoia is missing (scripts/deps.sh)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
OUT=$WORK/out
mkdir -p "$WORK/config"
export XDG_CONFIG_HOME=$WORK/config
export WAVETROVE_CDDB_SERVER=  # no lookups: only reading and writing are measured

# The disc: music-like audio (tones and noise) in one BIN; every track a whole number of sectors.
SECONDS_TOTAL=$((MINUTES * 60))
TRACK_SECONDS=$((SECONDS_TOTAL / TRACKS))
ffmpeg -nostdin -v error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*440*t)+0.1*random(1)|0.3*sin(2*PI*660*t)+0.1*random(2):s=44100:d=$((TRACK_SECONDS * TRACKS))" \
  -f s16le -ac 2 -ar 44100 "$WORK/disc.bin"
{
  echo 'FILE "disc.bin" BINARY'
  for t in $(seq 1 "$TRACKS"); do
    start=$(((t - 1) * TRACK_SECONDS))
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n' "$t" $((start / 60)) $((start % 60))
  done
} >"$WORK/disc.cue"
echo "image: $TRACKS tracks x ${TRACK_SECONDS} s ($(du -h "$WORK/disc.bin" | cut -f1)) in $WORK"

# Wall and CPU (user + system) seconds of one pass of "$@" in an emptied output folder.
one_pass() {
  local stats
  stats=$(mktemp)
  rm -rf "$OUT" && mkdir -p "$OUT"
  /usr/bin/time -f "%e %U %S" -o "$stats" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  read -r e u s <"$stats"
  rm -f "$stats"
  awk -v e="$e" -v u="$u" -v s="$s" 'BEGIN { printf "%.3f %.3f", e, u + s }'
}
best() { awk -v x="$1" -v b="$2" 'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }'; }

# Every track must be there and hold at least the track's audio, or the times mean nothing.
check_outputs() {
  local pattern=$1 count
  count=$(find "$OUT" -name "$pattern" -size "+$((TRACK_SECONDS * 176400))c" | wc -l)
  [ "$count" -eq "$TRACKS" ] || { echo "expected $TRACKS outputs of the track's size, found $count" >&2; exit 1; }
}

run_paranoia() { cd "$OUT" && cd-paranoia -q -c -B -d "$WORK/disc.cue"; }
export -f run_paranoia
export OUT WORK

pw="" pc="" tw="" tc=""
for _ in $(seq 1 "$RUNS"); do
  read -r w c <<<"$(one_pass "$CLI" -j 1 -f wav --set wavbps=0 -o "$OUT" "$WORK/disc.cue")"
  check_outputs 'Track*.wav'
  pw=$(best "$w" "$pw") pc=$(best "$c" "$pc")
  read -r w c <<<"$(one_pass bash -c run_paranoia)"
  check_outputs 'track*.cdda.wav'
  tw=$(best "$w" "$tw") tc=$(best "$c" "$tc")
done
ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.3f", p / f }'; }
printf "%-12s %10s %10s %8s\n" "" program cd-paranoia ratio
printf "%-12s %10s %10s %8s\n" "wall (s)" "$pw" "$tw" "$(ratio "$pw" "$tw")"
printf "%-12s %10s %10s %8s\n" "cpu (s)" "$pc" "$tc" "$(ratio "$pc" "$tc")"
echo "target: wall ratio at most 1.10"
