#!/usr/bin/env bash
# Decoding benchmark of the FFmpeg add-on: generates a corpus (FLAC, Opus, AAC in M4A; 44.1 kHz stereo),
# then times decoding every file through the program's sources (wavetrove-probe --pcm-md5: source, host,
# add-on) and through the ffmpeg tool to 32-bit float, and prints both times and their ratio.
#
#   bench/decode.sh [seconds-per-file] [files-per-format] [runs]     defaults: 120 3 3
#
# Each figure is the best of `runs` passes, to keep other load on the machine out of the ratio.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
SECONDS_PER_FILE=${1:-120}
FILES_PER_FORMAT=${2:-3}
RUNS=${3:-3}

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
  -DWAVETROVE_GUI=OFF >/dev/null
targets=(ffdeck wavetrove-probe)
if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^tagwrapper:'; then targets+=(tagwrapper); fi
cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
PROBE=$BUILD/bin/wavetrove-probe

CORPUS=$(mktemp -d)
trap 'rm -rf "$CORPUS"' EXIT
echo "corpus: $FILES_PER_FORMAT files x ${SECONDS_PER_FILE} s per format in $CORPUS"
for i in $(seq 1 "$FILES_PER_FORMAT"); do
  src="$CORPUS/src$i.wav"
  ffmpeg -nostdin -v error -y -f lavfi \
    -i "aevalsrc=0.3*sin(2*PI*$((200 * i))*t)+0.2*random($i)|0.3*sin(2*PI*$((300 * i))*t)+0.2*random($((i + 7))):s=44100:d=$SECONDS_PER_FILE" \
    -c:a pcm_s16le "$src"
  ffmpeg -nostdin -v error -y -i "$src" -c:a flac "$CORPUS/f$i.flac"
  ffmpeg -nostdin -v error -y -i "$src" -c:a libopus -b:a 128k "$CORPUS/o$i.opus"
  ffmpeg -nostdin -v error -y -i "$src" -c:a aac -b:a 160k "$CORPUS/a$i.m4a"
  rm "$src"
done

now() { date +%s.%N; }

# Best wall time of RUNS passes of "$@" over every file of one format.
best_time() {
  local pattern=$1
  shift
  local best=""
  for _ in $(seq 1 "$RUNS"); do
    local t0 t1
    t0=$(now)
    for f in "$CORPUS"/$pattern; do "$@" "$f" >/dev/null 2>&1; done
    t1=$(now)
    best=$(awk -v a="$t0" -v b="$t1" -v best="$best" 'BEGIN { d = b - a; if (best == "" || d < best) best = d; printf "%.3f", best }')
  done
  echo "$best"
}

probe_one() { "$PROBE" --pcm-md5 "$1"; }
ffmpeg_one() { ffmpeg -nostdin -v error -i "$1" -f f32le -y /dev/null; }

total_probe=0
total_ffmpeg=0
printf "%-6s %12s %12s %8s\n" format probe_s ffmpeg_s ratio
for fmt in "flac:f*.flac" "opus:o*.opus" "aac:a*.m4a"; do
  name=${fmt%%:*}
  pattern=${fmt#*:}
  # Every file must decode through the program, or the times mean nothing.
  for f in "$CORPUS"/$pattern; do
    "$PROBE" --pcm-md5 "$f" | grep -q '^valid: true' || { echo "wavetrove-probe cannot decode $f" >&2; exit 1; }
  done
  tp=$(best_time "$pattern" probe_one)
  tf=$(best_time "$pattern" ffmpeg_one)
  printf "%-6s %12s %12s %8s\n" "$name" "$tp" "$tf" "$(awk -v p="$tp" -v f="$tf" 'BEGIN { printf "%.3f", p / f }')"
  total_probe=$(awk -v a="$total_probe" -v b="$tp" 'BEGIN { printf "%.3f", a + b }')
  total_ffmpeg=$(awk -v a="$total_ffmpeg" -v b="$tf" 'BEGIN { printf "%.3f", a + b }')
done
printf "%-6s %12s %12s %8s\n" all "$total_probe" "$total_ffmpeg" \
  "$(awk -v p="$total_probe" -v f="$total_ffmpeg" 'BEGIN { printf "%.3f", p / f }')"
