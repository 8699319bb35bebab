#!/usr/bin/env bash
# Conversion benchmark of the engine: resamples a corpus of 44.1 kHz stereo 16-bit WAV files to 48 kHz WAV
# with wavetrove-cli (two workers) and with sox (two files at a time), prints both times and their ratio,
# and the peak resident memory of wavetrove-cli for the corpus and for a corpus twice its size.
#
#   bench/convert.sh [files] [seconds-per-file] [runs]     defaults: 8 120 3
#
# Each time is the best of `runs` passes, to keep other load on the machine out of the ratio.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
FILES=${1:-8}
SECONDS_PER_FILE=${2:-120}
RUNS=${3:-3}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
    -DWAVETROVE_GUI=OFF >/dev/null || return 1
  cmake --build "$BUILD" -j2 --target wavetrove-cli >/dev/null
}
CLI=$BUILD/bin/wavetrove-cli
# A tree that does not configure at the moment still leaves an earlier build to measure.
if ! build; then
  [ -x "$CLI" ] || { echo "convert.sh: build failed" >&2; exit 1; }
  echo "convert.sh: build failed; measuring the existing build in $BUILD" >&2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME=$WORK/config  # the stored settings of the user stay out of it
mkdir -p "$WORK/config" "$WORK/corpus" "$WORK/double" "$WORK/out"

echo "corpus: $FILES files x ${SECONDS_PER_FILE} s, 44.1 kHz stereo 16-bit WAV, in $WORK"
for i in $(seq 1 "$FILES"); do
  ffmpeg -nostdin -v error -y -f lavfi \
    -i "aevalsrc=0.3*sin(2*PI*$((200 * i))*t)+0.2*random($i)|0.3*sin(2*PI*$((300 * i))*t)+0.2*random($((i + 7))):s=44100:d=$SECONDS_PER_FILE" \
    -c:a pcm_s16le "$WORK/corpus/c$i.wav"
  # The doubled corpus links to the same files under two names.
  ln "$WORK/corpus/c$i.wav" "$WORK/double/a$i.wav"
  ln "$WORK/corpus/c$i.wav" "$WORK/double/b$i.wav"
done

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

run_cli() {
  rm -rf "$WORK/out" && mkdir -p "$WORK/out"
  "$CLI" -j 2 -f wav --set wavsrate=4 --set wavbps=2 --overwrite overwrite -o "$WORK/out" "$1" >/dev/null
}
run_sox() {
  rm -rf "$WORK/out" && mkdir -p "$WORK/out"
  find "$1" -name '*.wav' -print0 |
    xargs -0 -P 2 -I{} sh -c 'sox "$1" -r 48000 "$2/$(basename "$1")" rate -v' _ {} "$WORK/out"
}

best_cli="" best_sox=""
for _ in $(seq 1 "$RUNS"); do
  t0=$(now); run_cli "$WORK/corpus"; t1=$(now)
  best_cli=$(smaller "$(elapsed "$t0" "$t1")" "$best_cli")
  t0=$(now); run_sox "$WORK/corpus"; t1=$(now)
  best_sox=$(smaller "$(elapsed "$t0" "$t1")" "$best_sox")
done

# Peak resident set size in MB of one wavetrove-cli run over `folder`.
peak_mb() {
  rm -rf "$WORK/out" && mkdir -p "$WORK/out"
  /usr/bin/time -v "$CLI" -j 2 -f wav --set wavsrate=4 --set wavbps=2 --overwrite overwrite -o "$WORK/out" "$1" \
    2>&1 >/dev/null | awk '/Maximum resident set size/ { printf "%.1f", $NF / 1024 }'
}
peak_single=$(peak_mb "$WORK/corpus")
peak_double=$(peak_mb "$WORK/double")

echo "wavetrove-cli -j 2: ${best_cli} s"
echo "sox rate -v, 2 at a time: ${best_sox} s"
awk -v a="$best_cli" -v b="$best_sox" 'BEGIN { printf "ratio wavetrove/sox: %.3f (target <= 1.10)\n", a / b }'
echo "peak RSS wavetrove-cli, $FILES files: ${peak_single} MB"
echo "peak RSS wavetrove-cli, $((FILES * 2)) files: ${peak_double} MB (must not grow; target < 100 MB)"
