#!/usr/bin/env bash
# A long fuzz campaign, run by hand: each target for SECONDS_PER_TARGET seconds (default 600)
# in the clang sanitized build, growing a scratch corpus under build-asan/fuzz/campaign/
# (the committed corpora under fuzz/corpus/ stay small and are only read). Findings land in
# build-asan/fuzz/findings/; a finding worth keeping goes to fuzz/regressions/<Target>/, where
# every build replays it. Prints each target's execution count at the end.
#
#   bash fuzz/run-long.sh                      every target, 10 minutes each
#   SECONDS_PER_TARGET=3600 bash fuzz/run-long.sh TextParser ModuleScript
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${SECONDS_PER_TARGET:-600}
build=build-asan

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZR_SANITIZE=ON -DZR_BUILD_BENCH=OFF -DZR_BUILD_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
# Every target the build lists (fuzz/CMakeLists.txt), unless some are named.
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < "$build/fuzz/targets.txt"
cmake --build "$build" -j "$(nproc)" --target $(printf 'zr_fuzz_%s ' "${targets[@]}")

mkdir -p "$build/fuzz/findings"
summary=()
for target in "${targets[@]}"; do
  scratch="$build/fuzz/campaign/$target"
  mkdir -p "$scratch"
  extra=()
  [ -f "fuzz/$target.dict" ] && extra+=("-dict=fuzz/$target.dict")
  log="$build/fuzz/campaign/$target.log"
  echo "== $target: ${seconds}s"
  status=0
  "$build/fuzz/zr_fuzz_$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/findings/$target-" "${extra[@]}" "$scratch" "fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  summary+=("$target: $runs executions in ${seconds}s, exit $status")
  [ $status -eq 0 ] || tail -40 "$log"
done
printf '%s\n' "${summary[@]}"
