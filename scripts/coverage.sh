#!/usr/bin/env bash
# Line coverage of effect/, vst/ and frame/ by the normal test run (the Ardour group left out),
# from a build instrumented for gcov in build-coverage/. Needs gcovr.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-coverage
log=$dir/coverage.log
mkdir -p $dir
# Atomic counters: the thread test runs the module on several threads at once.
flags="--coverage -fprofile-update=atomic"
cmake -S . -B $dir -DCMAKE_BUILD_TYPE=Debug -DVELLICOR_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" >$log
cmake --build $dir -j "$(nproc)" >>$log
find $dir -name '*.gcda' -delete
# The renderer test that limits file sizes also keeps that run's counts from being
# written; gcov's complaint would otherwise land in the test's stderr.
export GCOV_ERROR_FILE=/dev/null
ctest --test-dir $dir -LE ardour -j "$(nproc)" --timeout 900 >>$log ||
  { echo "tests failed; see $log" >&2; exit 1; }
for part in effect vst frame; do
  gcovr -r . --filter "$part/" $dir | sed -n "s|^TOTAL|$part/|p"
done
