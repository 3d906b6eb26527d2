#!/usr/bin/env bash
# Runs every libFuzzer target under fuzz/ for the given number of seconds
# each (default 30), built with clang, ASan and UBSan:
#   bash scripts/fuzz.sh [seconds]
# Each run starts from the target's corpus in the tree (fuzz/<target>/corpus)
# and works in build-fuzz/corpus; what it found that reaches new code is
# merged back into the tree's corpus (libFuzzer's -merge=1, so only inputs
# that add coverage), for the next run to start from: commit it. A crash,
# an input that runs past 10 s or one that takes more than 2 GB stops the
# run with the input saved as build-fuzz/crash-<target>-* (timeout-*,
# oom-*), and the script fails.
#   ZARVEX_FUZZ_RUNS  a number of executions per target instead of a time
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/install-deps.sh fuzz

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARVEX_FUZZ=ON -DZARVEX_BUILD_UI=OFF -DZARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)"

status=0
for dir in fuzz/*/; do
  target=$(basename "$dir")
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  cp -n "$dir"corpus/* "$corpus"/ 2>/dev/null || true
  log=build-fuzz/fuzz-$target.log
  if [ -n "${ZARVEX_FUZZ_RUNS:-}" ]; then limit=(-runs="$ZARVEX_FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  if ! ./build-fuzz/fuzz/fuzz_"$target" "$corpus" "${limit[@]}" -print_final_stats=1 \
      -artifact_prefix=build-fuzz/crash-"$target"- -rss_limit_mb=2048 -timeout=10 >"$log" 2>&1; then
    echo "fuzz_$target FAILED, see $log:"
    grep -E "ERROR|SUMMARY|Test unit written|ALARM|out-of-memory" "$log" || tail -20 "$log"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -E '^#[0-9]+' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -1)
  before=$(ls "$dir"corpus | wc -l)
  ./build-fuzz/fuzz/fuzz_"$target" -merge=1 -rss_limit_mb=2048 -timeout=10 "$dir"corpus "$corpus" \
    >build-fuzz/merge-$target.log 2>&1 || echo "fuzz_$target: merging into $dir""corpus failed, see build-fuzz/merge-$target.log"
  after=$(ls "$dir"corpus | wc -l)
  echo "fuzz_$target: ${runs:-0} executions in ${ZARVEX_FUZZ_RUNS:+the runs asked}${ZARVEX_FUZZ_RUNS:-$seconds s}," \
    "${coverage:-cov: ? ft: ?}, corpus $after inputs ($((after - before)) new)"
done
exit $status
