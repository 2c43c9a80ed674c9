#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the AddressSanitizer and
# UndefinedBehaviorSanitizer build, then the thread and fuzz checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
run_suite() {  # build-dir, extra cmake arguments...
  local dir=$1
  shift
  mkdir -p "$dir"
  if ! { cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" &&
         cmake --build "$dir" -j "$jobs"; } >"$dir/build.log" 2>&1; then
    tail -n 60 "$dir/build.log" >&2
    echo "build in $dir failed (full log: $dir/build.log)" >&2
    exit 1
  fi
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== tests"
run_suite build
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DVELLICOR_SANITIZE=ON -DVELLICOR_BENCH=OFF
