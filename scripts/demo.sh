#!/usr/bin/env bash
# Builds the plug-in and the renderer, renders the built-in demo programme through every
# mode and draws every mode's measured response.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build
out="$build/demo"
mkdir -p "$build"
echo "Building the plug-in and vellicor-render (log: $build/demo-build.log)"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build" -j "$(nproc)" --target Vellicor vellicor-render; } \
       >"$build/demo-build.log" 2>&1; then
  tail -n 40 "$build/demo-build.log" >&2
  echo "build failed (full log: $build/demo-build.log)" >&2
  exit 1
fi

echo
echo "Rendering the demo programme through all seventeen modes"
"$build/tools/vellicor-render" --demo "$out"

echo
echo "Measuring each mode's response"
"$build/tools/vellicor-render" --response "$out/response.csv"
# Debian's own Python carries Debian's matplotlib, whatever python3 comes first on PATH.
/usr/bin/python3 scripts/plot-response.py "$out/response.csv" "$out/response.png"

echo
echo "Plug-in:   $build/vst/Vellicor.so"
echo "Audio:     $out/programme.wav (the input) and one file per mode, $out/00-out24.wav to $out/16-v-trick.wav"
echo "Response:  $out/response.png (data in $out/response.csv)"
