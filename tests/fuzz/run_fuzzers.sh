#!/bin/sh
# Runs every fuzz target of a build folder for a bounded time, as many at a
# time as there are processors, each from its seed corpus (new finds go to a
# scratch folder, the committed seeds stay as they are). Prints each target's
# runs and coverage, and the report of any finding; fails when one found any.
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS
set -eu
if [ "${1:-}" = "--one" ]; then
  build=$2 seconds=$3 out=$4 seeds=$5 target=$6
  name=${target#fuzz_}
  mkdir -p "$out/$name"
  corpus=""
  [ -d "$seeds/$name" ] && corpus="$seeds/$name"
  # The programs' own output would bury the findings; libFuzzer and the
  # sanitizers still report on their own descriptor.
  status=0
  "$build/$target" -max_total_time="$seconds" -close_fd_mask=3 -max_len=16384 -rss_limit_mb=1536 \
    -artifact_prefix="$out/$name/" "$out/$name" $corpus >"$out/$name.log" 2>&1 || status=$?
  done_line=$(grep -a "DONE" "$out/$name.log" | tail -n 1 | tr -s ' \t' ' ')
  if [ "$status" -eq 0 ]; then
    echo "$target: ok:$done_line"
  else
    echo "$target: FOUND A FAULT (exit $status)"
    grep -a -A 30 "ERROR\|runtime error\|deadly signal" "$out/$name.log" | head -n 60
  fi
  exit "$status"
fi

build=$(cd "$1" && pwd)
seconds=$2
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
out=$build/fuzz-runs
rm -rf "$out"
mkdir -p "$out"
for program in "$build"/fuzz_*; do
  [ -f "$program" ] && [ -x "$program" ] && basename "$program"
done | xargs -P "$(nproc)" -n 1 "$0" --one "$build" "$seconds" "$out" "$seeds"
