#!/usr/bin/env bash
# Encoding benchmark of the MP3 and FLAC writers: generates a corpus of 44.1 kHz stereo 16-bit WAV files,
# converts it with wavetrove-cli (two worker threads) to MP3 and to FLAC, and does the same work with the
# lame and flac tools two files at a time; prints the times and the ratio program / tool per format.
#
#   bench/encode.sh [seconds-per-file] [files] [runs]     defaults: 120 8 2
#
# Each figure is the best of `runs` passes, to keep other load on the machine out of the ratio. The tools
# get the program's settings: lame at 128 kbit/s CBR in plain stereo (the writer's mode for stereo sources),
# flac at level 5; both write to files on the same disk as the program does.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
SECONDS_PER_FILE=${1:-120}
FILES=${2:-8}
RUNS=${3:-2}

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
    -DWAVETROVE_GUI=OFF >/dev/null || return 1
  local targets=(wavetrove-cli)
  if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^tagwrapper:'; then targets+=(tagwrapper); fi
  cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
}
CLI=$BUILD/bin/wavetrove-cli
if ! build; then
  [ -x "$CLI" ] || { echo "encode.sh: build failed" >&2; exit 1; }
  echo "encode.sh: build failed; measuring the existing build in $BUILD" >&2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
CORPUS=$WORK/corpus
OUT=$WORK/out
mkdir -p "$CORPUS" "$OUT" "$WORK/config"
export XDG_CONFIG_HOME=$WORK/config
echo "corpus: $FILES files x ${SECONDS_PER_FILE} s, 44100 Hz stereo 16-bit WAV in $CORPUS"
for i in $(seq 1 "$FILES"); do
  ffmpeg -nostdin -v error -y -f lavfi \
    -i "aevalsrc=0.3*sin(2*PI*$((200 * i))*t)+0.1*random($i)|0.3*sin(2*PI*$((300 * i))*t)+0.1*random($((i + 7))):s=44100:d=$SECONDS_PER_FILE" \
    -c:a pcm_s16le "$CORPUS/src$i.wav"
done

# Best wall and CPU (user + system) seconds of RUNS passes of the command "$@"; the output folder is
# emptied before each pass so no pass skips or renames an existing file.
best_time() {
  local best_wall="" best_cpu="" stats
  stats=$(mktemp)
  for _ in $(seq 1 "$RUNS"); do
    rm -rf "$OUT" && mkdir -p "$OUT"
    /usr/bin/time -f "%e %U %S" -o "$stats" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    read -r e u s <"$stats"
    best_wall=$(awk -v x="$e" -v b="$best_wall" 'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }')
    best_cpu=$(awk -v x="$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')" -v b="$best_cpu" \
      'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }')
  done
  rm -f "$stats"
  echo "$best_wall $best_cpu"
}

# Every output must exist and decode to the source's length, or the times mean nothing.
check_outputs() {
  local ext=$1
  for i in $(seq 1 "$FILES"); do
    local f="$OUT/src$i.$ext"
    [ -s "$f" ] || { echo "missing output $f" >&2; exit 1; }
  done
}

ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.3f", p / f }'; }

run_mp3() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'lame --quiet -b 128 -m s "$1" "$2/$(basename "$1" .wav).mp3"' _ {} "$OUT"; }
run_flac() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'flac -s -f -5 -o "$2/$(basename "$1" .wav).flac" "$1"' _ {} "$OUT"; }
export -f run_mp3 run_flac
export CORPUS OUT

printf "%-5s %10s %10s %8s   %10s %10s %8s\n" format prog_wall tool_wall ratio prog_cpu tool_cpu ratio
for fmt in mp3 flac; do
  read -r pw pc <<<"$(best_time "$CLI" -j 2 -f "$fmt" --overwrite overwrite -o "$OUT" "$CORPUS")"
  check_outputs "$fmt"
  read -r tw tc <<<"$(best_time bash -c "run_$fmt")"
  check_outputs "$fmt"
  printf "%-5s %10s %10s %8s   %10s %10s %8s\n" "$fmt" "$pw" "$tw" "$(ratio "$pw" "$tw")" "$pc" "$tc" "$(ratio "$pc" "$tc")"
done
