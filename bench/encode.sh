#!/usr/bin/env bash
# Encoding benchmark of the writers: generates a corpus of 44.1 kHz stereo 16-bit WAV files, converts it
# with wavetrove-cli (two worker threads) and does the same work with each format's reference tool two
# files at a time; prints the times, the ratio program / tool and the output sizes per row.
#
#   bench/encode.sh [seconds-per-file] [files] [runs] [rows...]     defaults: 120 8 3, every row
#
# Rows: mp3 (lame at 128 kbit/s CBR in plain stereo, the writer's mode for stereo sources), flac (flac -5),
# ape (jmac c2, the default level), ape4 (apecompression=4 against jmac c4), ogg (oggenc -q 5, the default
# quality) and opus (opusenc --bitrate 128 --cvbr: libopus's constrained VBR, which the writer leaves on). Program and tool passes
# alternate and each figure is the best of `runs`, to keep other load on the machine out of the ratio.
# Both write to files on the same disk. jmac (Debian's libjmac-java) is installed when missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
SECONDS_PER_FILE=${1:-120}
FILES=${2:-8}
RUNS=${3:-3}
shift $(($# < 3 ? $# : 3))
ROWS=("$@")
[ ${#ROWS[@]} -gt 0 ] || ROWS=(mp3 flac ape ape4 ogg opus)

# The Java port of the Monkey's Audio library is the reference for the ape rows; only this script needs it.
need_jmac() {
  for row in "${ROWS[@]}"; do [[ $row == ape* ]] && return 0; done
  return 1
}
if need_jmac && ! command -v jmac >/dev/null; then
  SUDO=
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "encode.sh: installing libjmac-java for the ape rows" >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    libjmac-java default-jre-headless >/dev/null
fi

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

# Runs the program command and the tool command alternately, RUNS times each, and prints the best wall
# and CPU (user + system) seconds of each: "pw pc tw tc". The output folder is emptied before every pass
# so no pass skips or renames an existing file, and checked after it.
PROG_SIZE=0
TOOL_SIZE=0
best_pair() {
  local ext=$1 prog=$2 tool=$3 stats
  local pw="" pc="" tw="" tc=""
  stats=$(mktemp)
  for run in $(seq 1 "$RUNS"); do
    for side in prog tool; do
      rm -rf "$OUT" && mkdir -p "$OUT"
      local cmd=$prog
      [ $side = tool ] && cmd=$tool
      /usr/bin/time -f "%e %U %S" -o "$stats" bash -c "$cmd" >/dev/null 2>&1 || { echo "failed: $cmd" >&2; exit 1; }
      check_outputs "$ext"
      if [ "$run" = 1 ] && [ $side = prog ] && declare -F "verify_$ext" >/dev/null; then "verify_$ext"; fi
      read -r e u s <"$stats"
      local cpu
      cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')
      if [ $side = prog ]; then
        pw=$(best "$e" "$pw"); pc=$(best "$cpu" "$pc"); PROG_SIZE=$(du -cb "$OUT"/*."$ext" | tail -1 | cut -f1)
      else
        tw=$(best "$e" "$tw"); tc=$(best "$cpu" "$tc"); TOOL_SIZE=$(du -cb "$OUT"/*."$ext" | tail -1 | cut -f1)
      fi
    done
  done
  rm -f "$stats"
  echo "$pw $pc $tw $tc $PROG_SIZE $TOOL_SIZE"
}
best() { awk -v x="$1" -v b="$2" 'BEGIN { if (b == "" || x < b) b = x; printf "%.3f", b }'; }

# Every output must exist and decode to the source's length, or the times mean nothing.
check_outputs() {
  local ext=$1
  for i in $(seq 1 "$FILES"); do
    local f="$OUT/src$i.$ext"
    [ -s "$f" ] || { echo "missing output $f" >&2; exit 1; }
  done
}

# The program's first output must decode to its source, by FFmpeg and by the reference tool, or the row
# measures a broken file.
verify_ape() {
  local f=$OUT/src1.ape
  [ "$(ffmpeg -nostdin -v error -i "$f" -f s16le - | md5sum)" = "$(ffmpeg -nostdin -v error -i "$CORPUS/src1.wav" -f s16le - | md5sum)" ] ||
    { echo "verify: $f does not decode to its source" >&2; exit 1; }
  local said
  said=$(jmac v "$f" 2>&1)
  if grep -qiE 'exception|error|invalid' <<<"$said"; then echo "verify: jmac v $f: $said" >&2; exit 1; fi
}

ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.3f", p / f }'; }

run_mp3() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'lame --quiet -b 128 -m s "$1" "$2/$(basename "$1" .wav).mp3"' _ {} "$OUT"; }
run_flac() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'flac -s -f -5 -o "$2/$(basename "$1" .wav).flac" "$1"' _ {} "$OUT"; }
# jmac exits 0 even when it fails; check_outputs catches a missing file.
run_jmac() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'jmac "c$3" "$1" "$2/$(basename "$1" .wav).ape"' _ {} "$OUT" "$1"; }
run_ogg() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'oggenc -Q -q 5 -o "$2/$(basename "$1" .wav).ogg" "$1"' _ {} "$OUT"; }
run_opus() { ls "$CORPUS"/*.wav | xargs -P 2 -I{} sh -c 'opusenc --quiet --bitrate 128 --cvbr "$1" "$2/$(basename "$1" .wav).opus"' _ {} "$OUT"; }
export -f run_mp3 run_flac run_jmac run_ogg run_opus
export CORPUS OUT

printf "%-5s %10s %10s %8s   %10s %10s %8s   %12s %12s %8s\n" row prog_wall tool_wall ratio prog_cpu tool_cpu \
  ratio prog_bytes tool_bytes ratio
for row in "${ROWS[@]}"; do
  prog="\"$CLI\" -j 2 --overwrite overwrite -o \"$OUT\""
  case $row in
    mp3) ext=mp3 prog+=" -f mp3" tool=run_mp3 ;;
    flac) ext=flac prog+=" -f flac" tool=run_flac ;;
    ape) ext=ape prog+=" -f ape --set apecompression=2" tool="run_jmac 2" ;;
    ape4) ext=ape prog+=" -f ape --set apecompression=4" tool="run_jmac 4" ;;
    ogg) ext=ogg prog+=" -f ogg" tool=run_ogg ;;
    opus) ext=opus prog+=" -f opus" tool=run_opus ;;
    *) echo "encode.sh: unknown row $row" >&2; exit 2 ;;
  esac
  read -r pw pc tw tc ps ts <<<"$(best_pair "$ext" "$prog \"$CORPUS\"" "$tool")"
  [ -n "$ts" ] || exit 1
  printf "%-5s %10s %10s %8s   %10s %10s %8s   %12s %12s %8s\n" "$row" "$pw" "$tw" "$(ratio "$pw" "$tw")" \
    "$pc" "$tc" "$(ratio "$pc" "$tc")" "$ps" "$ts" "$(ratio "$ps" "$ts")"
done
