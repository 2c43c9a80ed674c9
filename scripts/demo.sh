#!/usr/bin/env bash
# Builds the plug-in module.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Vellicor >/dev/null
echo "Built build/effect/Vellicor.so"
