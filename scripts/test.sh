#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once as
# shipped (the kernel bench included), once under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded HID tests and the soak once
# more under ThreadSanitizer; then the fuzzers for 30 s each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh fuzz kernel team
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

run() {  # build dir, ctest selection, cmake options...
  local dir=$1 selection=$2; shift 2
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  # shellcheck disable=SC2086
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" $selection
}

# The plain build also runs the kernel bench (label kernel): a QEMU guest
# with the panel as a real USB HID gadget.
run build-test "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
run build-asan "-LE kernel" -DCMAKE_BUILD_TYPE=Debug -DZARVEX_SANITIZE=address,undefined
run build-tsan "-L threads" -DCMAKE_BUILD_TYPE=Debug -DZARVEX_SANITIZE=thread -DZARVEX_BUILD_UI=OFF

# Every fuzz target for 30 s, from the committed seeds.
bash scripts/fuzz.sh 30
