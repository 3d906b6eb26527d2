#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once as
# shipped, once under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# threaded HID tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

run() {  # build dir, ctest filter, cmake options...
  local dir=$1 filter=$2; shift 2
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" ${filter:+-L "$filter"}
}

run build-test "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
run build-asan "" -DCMAKE_BUILD_TYPE=Debug -DZARVEX_SANITIZE=address,undefined
run build-tsan threads -DCMAKE_BUILD_TYPE=Debug -DZARVEX_SANITIZE=thread -DZARVEX_BUILD_UI=OFF

# Every fuzz target for 30 s, from the committed seeds.
bash scripts/fuzz.sh 30
