#!/usr/bin/env bash
# Runs every fuzz target of a build tree for FUZZ_SECONDS each, new inputs
# going to BUILD/work/<target>/ (the seeds in fuzz/corpus/ stay as they
# are) and findings to BUILD/findings/. Prints one summary line per target
# and fails when any target found something.
# Usage: fuzz/run.sh BUILD [TARGET...]
set -uo pipefail
build=$1
shift
root=$(cd "$(dirname "$0")" && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/targets/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
mkdir -p "$build/work" "$build/findings" "$build/logs"
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/work/$t"
  dict=()
  [ -f "$root/dict/$t.dict" ] && dict=(-dict="$root/dict/$t.dict")
  log="$build/logs/$t.log"
  "$build/fuzz/fuzz_$t" "$build/work/$t" "$root/corpus/$t" "${dict[@]}" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=5 \
    -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ $rc -eq 0 ]; then
    printf '%-12s %4ss  %10s execs  cov %6s  ft %6s  ok\n' "$t" "$seconds" "${execs:-?}" "${cov:-?}" "${ft:-?}"
  else
    printf '%-12s %4ss  FINDING (exit %d), see %s\n' "$t" "$seconds" "$rc" "$log"
    grep -m3 -E 'ERROR|invariant broken|runtime error' "$log" | sed 's/^/    /'
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "findings in: ${failed[*]} (inputs in $build/findings/)"
  exit 1
fi
