#!/usr/bin/env bash
# Builds the benchmark (build-bench/) and runs it: every mode through the built module
# beside the step-by-step processing, then prints the performance table of the README
# (float, 48 and 96 kHz) and the summary figures. Extra arguments go to the benchmark,
# e.g. --benchmark_min_time=1. The raw results are left in build-bench/bench.json.
# VELLICOR_EXTENDED=double (or VELLICOR_SIMD=OFF) in the environment benchmarks that
# configuration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=build-bench
if ! { cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLICOR_TESTS=OFF \
         -DVELLICOR_TOOLS=OFF -DVELLICOR_EXTENDED="${VELLICOR_EXTENDED:-native}" \
         -DVELLICOR_SIMD="${VELLICOR_SIMD:-ON}" &&
       cmake --build "$dir" -j "$(nproc)" --target vellicor_bench; } >"$dir.log" 2>&1; then
  tail -n 40 "$dir.log" >&2
  exit 1
fi
"$dir/bench/vellicor_bench" --benchmark_min_time=0.3 --benchmark_out="$dir/bench.json" \
  --benchmark_out_format=json "$@" >/dev/null
python3 scripts/bench_table.py "$dir/bench.json"
