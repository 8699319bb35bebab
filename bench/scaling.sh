#!/usr/bin/env bash
# Scaling figure: the same corpus converted to FLAC with wavetrove-cli -j 1 and -j 2, and by the flac tool
# one and two files at a time; prints the best-of-RUNS wall times (the two widths alternating) and the
# speed-up t(1) / t(2) of each. The target for the program is at least 1.85 on two cores.
#
#   bench/scaling.sh [seconds-per-file] [files] [runs]     defaults: 60 8 3
set -euo pipefail
source "$(dirname "$0")/encode_common.sh"
SECONDS_PER_FILE=${1:-60}
FILES=${2:-8}
RUNS=${3:-3}

bench_build
bench_corpus
compare flac -- "$CLI" -j 1 -f flac --overwrite overwrite -o "$OUT" "$CORPUS" -- \
  "$CLI" -j 2 -f flac --overwrite overwrite -o "$OUT" "$CORPUS"
prog1=$A_WALL prog2=$B_WALL
compare flac -- env JOBS=1 bash -c "each_source 'flac -s -f -5 -o \"\$2.flac\" \"\$1\"'" -- \
  env JOBS=2 bash -c "each_source 'flac -s -f -5 -o \"\$2.flac\" \"\$1\"'"
tool1=$A_WALL tool2=$B_WALL
printf "%-14s %8s %8s %9s\n" "" "1 wide" "2 wide" speed-up
printf "%-14s %8s %8s %9s   (target >= 1.85)\n" wavetrove-cli "$prog1" "$prog2" "$(ratio "$prog1" "$prog2")"
printf "%-14s %8s %8s %9s\n" "flac -5" "$tool1" "$tool2" "$(ratio "$tool1" "$tool2")"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
