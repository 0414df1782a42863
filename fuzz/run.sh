#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build for the given seconds each, on a working corpus
# seeded from fuzz/corpus, and prints the executions per target. Findings (crashing, leaking or
# hanging inputs) land in BUILD/findings; the run fails when there is any.
#   fuzz/run.sh BUILD SECONDS
set -uo pipefail
build=$1
seconds=$2
source=$(cd "$(dirname "$0")/.." && pwd)
targets=(cascade paste_bmp picture process_file rgbe sr_dictionary tiff_dump video_file yuv10)
mkdir -p "$build/findings" "$build/logs"
failed=0
printf '%-14s %12s %10s  %s\n' target executions "exec/s" result
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=("$source/fuzz/corpus/$target")
  [ "$target" = process_file ] && seeds+=("$source/examples")
  log="$build/logs/$target.log"
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  result=clean
  if [ $status -ne 0 ]; then
    result="FINDING (see $log)"
    failed=1
  fi
  printf '%-14s %12s %10s  %s\n' "$target" "${executions:-?}" "${rate:-?}" "$result"
done
exit $failed
