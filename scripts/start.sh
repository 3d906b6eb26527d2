#!/usr/bin/env bash
# Installs what is missing, builds the configurator and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVEX_BUILD_TESTS=OFF
cmake --build build --target zarvex-settings
exec ./build/src/app/zarvex-settings
