#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the AddressSanitizer and
# UndefinedBehaviorSanitizer build, the thread check, the processing in its other
# configurations (double extended type, plain lanes), the release builds (x86-64 with the
# Ardour checks, 64-bit ARM under qemu, 32-bit x86), 64-bit and 32-bit Windows under Wine,
# then the fuzz check.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --for-tests

jobs=$(nproc)
configure_and_build() {  # build-dir, targets ("all" for everything), extra cmake arguments...
  local dir=$1 targets=$2
  shift 2
  mkdir -p "$dir"
  if ! { cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" &&
         cmake --build "$dir" -j "$jobs" --target $targets; } >"$dir/build.log" 2>&1; then
    tail -n 60 "$dir/build.log" >&2
    echo "build in $dir failed (full log: $dir/build.log)" >&2
    exit 1
  fi
}
passed=0
run_ctest() {  # build-dir, extra ctest arguments...; counts the tests that passed
  local dir=$1
  shift
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" | tee "$dir/ctest.log"
  local count
  count=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")
  passed=$((passed + ${count:-0}))
}
run_suite() {  # build-dir, extra cmake arguments...
  local dir=$1
  shift
  configure_and_build "$dir" all "$@"
  run_ctest "$dir"
}

echo "== tests"
run_suite build
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DVELLICOR_SANITIZE=ON -DVELLICOR_BENCH=OFF
echo "== thread check under ThreadSanitizer"
configure_and_build build-tsan thread_tests -DVELLICOR_TSAN=ON -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
TSAN_OPTIONS=halt_on_error=1 run_ctest build-tsan -L thread
# Where only some test programs are built, CTest lists the others as not built.
only_built='_NOT_BUILT$'
echo "== processing with a double extended type"
configure_and_build build-double "effect_tests bit_identity_tests fuzz_tests frame_test_module clap_tests lv2_tests" \
  -DVELLICOR_EXTENDED=double -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
run_ctest build-double -E "$only_built"
echo "== processing with plain lanes"
configure_and_build build-plain "effect_tests bit_identity_tests fuzz_tests frame_test_module clap_tests lv2_tests" \
  -DVELLICOR_SIMD=OFF -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
run_ctest build-plain -E "$only_built"
# The release builds of the modules and the LV2 bundle, as the archives carry them: the
# vectors replayed exactly, the LV2 and CLAP plug-ins held to the VST module, the exports
# and the glibc floor checked (and, on x86-64, the renderer's too, the LV2 tools, the
# Qtractor scan and the Ardour checks run with them).
echo "== x86-64 release build: vectors, LV2, CLAP, exports, glibc floor and Ardour"
configure_and_build build-release-x86_64 \
  "Vellicor VellicorClap vellicor_lv2 frame_test_module vellicor-render effect_tests lv2_tests clap_tests" \
  -DVELLICOR_RELEASE=ON -DVELLICOR_BENCH=OFF
run_ctest build-release-x86_64 \
  -R '^(Vectors/.*|Lv2Plugin\..*|lv2_.*|ClapModule\..*|qtractor_scan|.*_exports|.*_glibc_floor|ardour_.*)$'
for target in aarch64 i686; do
  echo "== $target release build: processing, frame, LV2 and CLAP"
  configure_and_build build-$target \
    "effect_tests bit_identity_tests frame_tests frame_test_module vellicor_lv2 lv2_tests clap_tests" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$target-linux-gnu.cmake -DVELLICOR_RELEASE=ON \
    -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
  run_ctest build-$target -E "$only_built"
done
echo "== Windows, 64-bit: the modules' tests and the vectors under Wine"
configure_and_build build-win64 "effect_tests frame_tests frame_test_module clap_tests" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
# A private Wine set-up in the build folder; its first start takes about ten seconds.
WINEPREFIX=$PWD/build-win64/wine WINEDEBUG=-all \
  run_ctest build-win64 -R '^(effect_tests|frame_tests|clap_tests|effect_tests_under_.*|.*_exports)$'
echo "== Windows, 32-bit: the modules' tests and the vectors under 32-bit Wine"
configure_and_build build-win32 "effect_tests frame_tests frame_test_module clap_tests" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
# 64-bit Wine alone runs a 32-bit program as a silent success: the tests must come back
# listed, or nothing here has run.
listing=$(WINEPREFIX=$PWD/build-win32/wine WINEDEBUG=-all scripts/wine32.sh \
  build-win32/tests/frame/frame_tests.exe --gtest_list_tests 2>&1) || true
if [[ $listing != *Speakers.* ]]; then
  echo "32-bit Wine does not run the 32-bit tests here: ${listing:-no output}" >&2
  exit 1
fi
WINEPREFIX=$PWD/build-win32/wine WINEDEBUG=-all \
  run_ctest build-win32 -R '^(effect_tests|frame_tests|clap_tests|effect_tests_under_.*|.*_exports)$'
echo "== fuzzing for a minute (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)"
if command -v clang++-14 >/dev/null; then
  CC=clang-14 CXX=clang++-14 configure_and_build build-fuzz vellicor_fuzzer \
    -DVELLICOR_FUZZ=ON -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS=OFF
  # New finds go to build-fuzz/corpus; the seeds in the repository are only read. Each
  # session is checked with a short programme per mode here (the full second runs in the
  # corpus replay test), so that the minute covers many sessions.
  mkdir -p build-fuzz/corpus build-fuzz/artifacts
  VELLICOR_FUZZ_CHECK_FRAMES=64 build-fuzz/tests/fuzz/vellicor_fuzzer -max_total_time=60 \
    -max_len=512 -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 \
    build-fuzz/corpus tests/fuzz/corpus 2>build-fuzz/fuzz.log ||
    { tail -n 60 build-fuzz/fuzz.log >&2; echo "fuzzer found a fault (log: build-fuzz/fuzz.log)" >&2; exit 1; }
  grep -E "^stat::number_of_executed_units|DONE" build-fuzz/fuzz.log
else
  echo "clang++-14 not found: fuzz run skipped" >&2
fi

echo "total: $passed passed, 0 failed"
