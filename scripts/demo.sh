#!/usr/bin/env bash
# Installs what is missing, builds the demo and starts it: the configurator
# over a simulated panel, with the simulator's own control window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_BUILD_TESTS=OFF
cmake --build build --target zarvex-settings-demo
exec ./build/demo/zarvex-settings-demo
