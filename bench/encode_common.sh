# Shared pieces of the encoding benchmarks (sourced by encode.sh and scaling.sh): the Release build of
# wavetrove-cli, a corpus of 44.1 kHz stereo 16-bit WAV files, and timing that alternates the two sides of
# a comparison and keeps the best of several runs, so that other load on a shared machine hurts both sides
# alike and mostly drops out of the ratio.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${WAVETROVE_BENCH_BUILD:-$ROOT/build/bench}
CLI=$BUILD/bin/wavetrove-cli

bench_build() {
  build() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF \
      -DWAVETROVE_GUI=OFF >/dev/null || return 1
    local targets=(wavetrove-cli)
    if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^tagwrapper:'; then targets+=(tagwrapper); fi
    cmake --build "$BUILD" -j2 --target "${targets[@]}" >/dev/null
  }
  # A tree that does not configure at the moment still leaves an earlier build to measure.
  if ! build; then
    [ -x "$CLI" ] || { echo "bench: build failed" >&2; exit 1; }
    echo "bench: build failed; measuring the existing build in $BUILD" >&2
  fi
}

# Sets WORK, CORPUS and OUT and fills the corpus with FILES files of SECONDS_PER_FILE seconds each.
bench_corpus() {
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  CORPUS=$WORK/corpus
  OUT=$WORK/out
  mkdir -p "$CORPUS" "$OUT" "$WORK/config"
  export XDG_CONFIG_HOME=$WORK/config  # the user's stored settings stay out of it
  export CORPUS OUT
  echo "corpus: $FILES files x ${SECONDS_PER_FILE} s, 44100 Hz stereo 16-bit WAV; best of $RUNS alternating runs"
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  for i in $(seq 1 "$FILES"); do
    ffmpeg -nostdin -v error -y -f lavfi \
      -i "aevalsrc=0.3*sin(2*PI*$((200 * i))*t)+0.1*random($i)|0.3*sin(2*PI*$((300 * i))*t)+0.1*random($((i + 7))):s=44100:d=$SECONDS_PER_FILE" \
      -c:a pcm_s16le "$CORPUS/src$i.wav"
  done
}

# Runs "$@" for every corpus file, two at a time, with $1 = the source and $2 = the output path without
# its extension: the reference tools doing the same work as two workers.
each_source() {
  local command=$1 jobs=${JOBS:-2}
  ls "$CORPUS"/*.wav | xargs -P "$jobs" -I{} sh -c 'set -- "$1" "$2/$(basename "$1" .wav)" "$3"; eval "$3"' \
    _ {} "$OUT" "$command"
}
export -f each_source

# "wall cpu" seconds (cpu = user + system) of one run of "$@", with an empty output folder.
time_once() {
  local stats
  stats=$(mktemp)
  rm -rf "$OUT" && mkdir -p "$OUT"
  /usr/bin/time -f "%e %U %S" -o "$stats" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$stats"
  rm -f "$stats"
}

# Every output must exist, or the times mean nothing.
check_outputs() {
  local ext=$1 i
  for i in $(seq 1 "$FILES"); do
    [ -s "$OUT/src$i.$ext" ] || { echo "missing output $OUT/src$i.$ext" >&2; exit 1; }
  done
}

# compare EXT -- COMMAND A... -- COMMAND B...: RUNS alternating runs of A and B; sets A_WALL A_CPU B_WALL
# B_CPU to the best of each and A_BYTES B_BYTES to the outputs' total size. Both must produce an .EXT file
# per source. When VERIFY names a function, it checks A's first outputs.
compare() {
  local ext=$1 a=() b=() side=a
  shift 2
  for word in "$@"; do
    if [ "$word" = "--" ] && [ "$side" = a ]; then side=b; continue; fi
    if [ "$side" = a ]; then a+=("$word"); else b+=("$word"); fi
  done
  A_WALL="" A_CPU="" B_WALL="" B_CPU=""
  local run w c
  for run in $(seq 1 "$RUNS"); do
    read -r w c <<<"$(time_once "${a[@]}")"
    check_outputs "$ext"
    if [ "$run" = 1 ] && [ -n "${VERIFY:-}" ]; then "$VERIFY"; fi
    A_WALL=$(smaller "$w" "$A_WALL")
    A_CPU=$(smaller "$c" "$A_CPU")
    A_BYTES=$(total_bytes "$ext")
    read -r w c <<<"$(time_once "${b[@]}")"
    check_outputs "$ext"
    B_WALL=$(smaller "$w" "$B_WALL")
    B_CPU=$(smaller "$c" "$B_CPU")
    B_BYTES=$(total_bytes "$ext")
  done
}

total_bytes() { du -cb "$OUT"/*."$1" | tail -1 | cut -f1; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.3f", p / f }'; }
