#!/usr/bin/env bash
# Decoding benchmark of the FFmpeg add-on: generates a corpus (FLAC, Opus, AAC in M4A; 44.1 kHz stereo),
# then times decoding every file through the program's sources (wavetrove-probe --pcm-md5: source, host,
# add-on) and through the ffmpeg tool to 32-bit float, and prints both times and their ratio; a last
# column compares with ffmpeg also hashing its float PCM, the same work the probe does.
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

build() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
    -DWAVETROVE_GUI=OFF >/dev/null || return 1
  local targets=(ffdeck wavetrove-probe)
  if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^tagwrapper:'; then targets+=(tagwrapper); fi
  cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
}
PROBE=$BUILD/bin/wavetrove-probe
# A tree that does not configure at the moment still leaves an earlier build to measure.
if ! build; then
  [ -x "$PROBE" ] && [ -f "$BUILD/bin/libffdeck.so" ] || { echo "decode.sh: build failed" >&2; exit 1; }
  echo "decode.sh: build failed; measuring the existing build in $BUILD" >&2
fi

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

# Best wall and CPU (user + system) seconds of RUNS passes of the command "$@" ("{}" standing for the file)
# over every file of one format. The CPU
# figure is the steadier one on a machine shared with other work.
best_time() {
  local pattern=$1
  shift
  local best_wall="" best_cpu="" stats
  stats=$(mktemp)
  for _ in $(seq 1 "$RUNS"); do
    local wall=0 cpu=0
    for f in "$CORPUS"/$pattern; do
      local cmd=("${@//\{\}/$f}")
      /usr/bin/time -f "%e %U %S" -o "$stats" "${cmd[@]}" >/dev/null 2>&1
      read -r e u s <"$stats"
      wall=$(awk -v a="$wall" -v e="$e" 'BEGIN { printf "%.3f", a + e }')
      cpu=$(awk -v a="$cpu" -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", a + u + s }')
    done
    best_wall=$(awk -v x="$wall" -v b="$best_wall" 'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }')
    best_cpu=$(awk -v x="$cpu" -v b="$best_cpu" 'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }')
  done
  rm -f "$stats"
  echo "$best_wall $best_cpu"
}

ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.3f", p / f }'; }
add() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }

sum_pw=0 sum_pc=0 sum_fw=0 sum_fc=0 sum_mc=0
printf "%-6s %10s %10s %8s   %10s %10s %8s   %10s %8s\n" format probe_wall ffmpeg_wall ratio probe_cpu ffmpeg_cpu \
  ratio ffmd5_cpu ratio
for fmt in "flac:f*.flac" "opus:o*.opus" "aac:a*.m4a"; do
  name=${fmt%%:*}
  pattern=${fmt#*:}
  # Every file must decode through the program, or the times mean nothing.
  for f in "$CORPUS"/$pattern; do
    "$PROBE" --pcm-md5 "$f" | grep -q '^valid: true' || { echo "wavetrove-probe cannot decode $f" >&2; exit 1; }
  done
  read -r pw pc <<<"$(best_time "$pattern" "$PROBE" --pcm-md5 {})"
  read -r fw fc <<<"$(best_time "$pattern" ffmpeg -nostdin -v error -i {} -f f32le -y /dev/null)"
  # The same work as the probe's: FFmpeg hashing the float PCM it decodes.
  read -r _ mc <<<"$(best_time "$pattern" ffmpeg -nostdin -v error -i {} -c:a pcm_f32le -f md5 -)"
  printf "%-6s %10s %10s %8s   %10s %10s %8s   %10s %8s\n" "$name" "$pw" "$fw" "$(ratio "$pw" "$fw")" "$pc" "$fc" \
    "$(ratio "$pc" "$fc")" "$mc" "$(ratio "$pc" "$mc")"
  sum_pw=$(add "$sum_pw" "$pw") sum_pc=$(add "$sum_pc" "$pc")
  sum_fw=$(add "$sum_fw" "$fw") sum_fc=$(add "$sum_fc" "$fc") sum_mc=$(add "$sum_mc" "$mc")
done
printf "%-6s %10s %10s %8s   %10s %10s %8s   %10s %8s\n" all "$sum_pw" "$sum_fw" "$(ratio "$sum_pw" "$sum_fw")" \
  "$sum_pc" "$sum_fc" "$(ratio "$sum_pc" "$sum_fc")" "$sum_mc" "$(ratio "$sum_pc" "$sum_mc")"
