#!/usr/bin/env bash
# Encoding benchmark: converts a corpus of 44.1 kHz stereo 16-bit WAV files with wavetrove-cli (two worker
# threads) and does the same work with each format's reference tool two files at a time; prints the
# best-of-RUNS times of both, alternating, the ratio program / tool against its target, and the sizes.
#
#   bench/encode.sh [seconds-per-file] [files] [runs] [rows...]     defaults: 120 8 3, every row
#
# One function per row: a row_<name> function sets the wavetrove-cli options, the reference command (run
# by each_source with $1 = source, $2 = output without extension), the output extension and the target.
# Add a row by writing its function and naming it in ALL_ROWS. jmac (Debian's libjmac-java), the reference
# of the ape rows, is installed when missing.
set -euo pipefail
source "$(dirname "$0")/encode_common.sh"
SECONDS_PER_FILE=${1:-120}
FILES=${2:-8}
RUNS=${3:-3}
shift $(($# < 3 ? $# : 3))
ALL_ROWS=(mp3 flac wav ape ape4 ogg opus aac alac wv)
ROWS=("$@")
[ ${#ROWS[@]} -gt 0 ] || ROWS=("${ALL_ROWS[@]}")

# lame at 128 kbit/s CBR in plain stereo (the writer's mode for stereo sources).
row_mp3() {
  PROG=(-f mp3)
  TOOL='lame --quiet -b 128 -m s "$1" "$2.mp3"'
  EXT=mp3 TARGET=1.05
}
# flac at level 5, the writer's default.
row_flac() {
  PROG=(-f flac)
  TOOL='flac -s -f -5 -o "$2.flac" "$1"'
  EXT=flac TARGET=1.05
}
# WAV 16-bit to WAV 16-bit, nothing to convert: sox copying the same files.
row_wav() {
  PROG=(-f wav --set wavbps=2 --set wavsrate=0 --set wavmode=0)
  TOOL='sox "$1" "$2.wav"'
  EXT=wav TARGET=1.10
}
# Monkey's Audio at the default level 2 (jmac c2) and at level 4 (jmac c4). jmac exits 0 even when it
# fails; check_outputs catches a missing file.
row_ape() {
  PROG=(-f ape --set apecompression=2)
  TOOL='jmac c2 "$1" "$2.ape"'
  EXT=ape TARGET=-
}
row_ape4() {
  PROG=(-f ape --set apecompression=4)
  TOOL='jmac c4 "$1" "$2.ape"'
  EXT=ape TARGET=-
}
# oggenc at quality 5, the writer's default.
row_ogg() {
  PROG=(-f ogg)
  TOOL='oggenc -Q -q 5 -o "$2.ogg" "$1"'
  EXT=ogg TARGET=-
}
# opusenc at 128 kbit/s constrained VBR (libopus's default, which the writer leaves on).
row_opus() {
  PROG=(-f opus)
  TOOL='opusenc --quiet --bitrate 128 --cvbr "$1" "$2.opus"'
  EXT=opus TARGET=-
}
# fdk-aac's own encoder with the writer's library and settings (128 kbit/s AAC-LC, afterburner). It writes
# ADTS whatever the name; the .m4a name only lets both sides be counted alike.
row_aac() {
  PROG=(-f aac)
  TOOL='aac-enc -r 128000 -t 2 -a 1 "$1" "$2.m4a" >/dev/null'
  EXT=m4a TARGET=1.10
}
# FFmpeg's ALAC encoder, the one the writer's ALAC library is built on.
row_alac() {
  PROG=(-f alac)
  TOOL='ffmpeg -nostdin -v error -y -i "$1" -c:a alac "$2.m4a"'
  EXT=m4a TARGET=1.10
}
# WavPack's default high mode (wvcompression=1) against wavpack -h; the size must stay within 2% too.
row_wv() {
  PROG=(-f wv --set wvcompression=1)
  TOOL='wavpack -q -y -h "$1" -o "$2.wv"'
  EXT=wv TARGET=1.10
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
verify_wv() {
  local f=$OUT/src1.wv
  [ "$(ffmpeg -nostdin -v error -i "$f" -f s16le - | md5sum)" = "$(ffmpeg -nostdin -v error -i "$CORPUS/src1.wav" -f s16le - | md5sum)" ] ||
    { echo "verify: $f does not decode to its source" >&2; exit 1; }
  wvunpack -q -v "$f" >/dev/null 2>&1 || { echo "verify: wvunpack -v $f failed" >&2; exit 1; }
}

# The ALAC row's first output must decode to its source, the AAC row's must be AAC-LC at the source's rate.
verify_m4a() {
  local f=$OUT/src1.m4a
  if [ "$row" = alac ]; then
    [ "$(ffmpeg -nostdin -v error -i "$f" -f s16le - | md5sum)" = "$(ffmpeg -nostdin -v error -i "$CORPUS/src1.wav" -f s16le - | md5sum)" ] ||
      { echo "verify: $f does not decode to its source" >&2; exit 1; }
  else
    [ "$(ffprobe -v error -show_entries stream=codec_name,profile,sample_rate -of csv=p=0 "$f")" = "aac,LC,44100" ] ||
      { echo "verify: $f is not AAC-LC at 44100 Hz" >&2; exit 1; }
  fi
}

for row in "${ROWS[@]}"; do
  declare -F "row_$row" >/dev/null || { echo "encode.sh: unknown row $row" >&2; exit 2; }
done
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

bench_build
bench_corpus
printf "%-5s %10s %10s %8s %8s   %10s %10s %8s   %12s %12s %8s\n" row prog_wall tool_wall ratio target \
  prog_cpu tool_cpu ratio prog_bytes tool_bytes ratio
for row in "${ROWS[@]}"; do
  "row_$row"
  VERIFY=
  if declare -F "verify_$EXT" >/dev/null; then VERIFY=verify_$EXT; fi
  compare "$EXT" -- "$CLI" -j 2 "${PROG[@]}" --overwrite overwrite -o "$OUT" "$CORPUS" -- \
    bash -c "each_source '$TOOL'"
  printf "%-5s %10s %10s %8s %8s   %10s %10s %8s   %12s %12s %8s\n" "$row" "$A_WALL" "$B_WALL" \
    "$(ratio "$A_WALL" "$B_WALL")" "<=$TARGET" "$A_CPU" "$B_CPU" "$(ratio "$A_CPU" "$B_CPU")" \
    "$A_BYTES" "$B_BYTES" "$(ratio "$A_BYTES" "$B_BYTES")"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
