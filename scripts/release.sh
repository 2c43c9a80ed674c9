#!/usr/bin/env bash
# Builds Vellicor for every platform this machine builds for, from scratch, and writes the
# release archives with their checksums to dist/. The same sources give the same bytes:
# builds without time stamps or build paths, archives with fixed dates and owners.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --for-release

version=$(sed -n 's/^project(Vellicor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Every date in the archives: the last commit's, or the epoch outside a repository.
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
rm -rf build-release dist
mkdir -p build-release dist

build() {  # platform, toolchain ("" for this machine), targets...
  local dir=build-release/$1 toolchain=$2
  shift 2
  if ! { cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DVELLICOR_RELEASE=ON \
           -DVELLICOR_TESTS=OFF -DVELLICOR_BENCH=OFF -DVELLICOR_TOOLS="$([ -z "$toolchain" ] && echo ON || echo OFF)" \
           ${toolchain:+-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$toolchain.cmake} &&
         cmake --build "$dir" -j "$(nproc)" --target "$@"; } >"$dir.log" 2>&1; then
    tail -n 40 "$dir.log" >&2
    echo "release build for $1 failed (log: $dir.log)" >&2
    exit 1
  fi
}

install_text() {  # platform
  case $1 in
    linux-*) cat <<EOF
Vellicor $version, a VST 2.4 effect for Linux ($1).

Install: copy Vellicor.so where your host looks for VST 2.4 plug-ins: ~/.vst for you alone,
or /usr/local/lib/vst or /usr/lib/vst for everyone; most hosts also take other folders in
their settings or in VST_PATH (or LXVST_PATH). Then let the host scan for new plug-ins and
insert Vellicor on a channel, a bus or the master.
EOF
      [ "$1" = linux-x86_64 ] && cat <<EOF

vellicor-render runs audio files through the plug-in beside it: vellicor-render --help.
It needs libsndfile (Debian and Ubuntu: apt-get install libsndfile1).
EOF
      cat <<EOF

Check the download: sha256sum -c --ignore-missing SHA256SUMS, beside the archive.
EOF
      ;;
    windows-*) local bits=64-bit files='C:\Program Files'
      [ "$1" = windows-x86 ] && bits=32-bit files='C:\Program Files (x86)'
      cat <<EOF
Vellicor $version, a VST 2.4 effect for $bits Windows.

Install: copy Vellicor.dll into the folder your host scans for VST 2.4 plug-ins, often
$files\\VSTPlugins or $files\\Common Files\\VST2
(the host's settings name its folders), then let the host scan for new plug-ins. A $bits
host needs this $bits DLL.

Check the download: in PowerShell, Get-FileHash vellicor-$version-$1.zip -Algorithm SHA256,
and compare with its line in SHA256SUMS.
EOF
      ;;
  esac
}

# folder holding the archive's files -> dist/NAME.tar.gz or .zip, fixed dates and owners.
pack() {  # platform, files...
  local platform=$1 name=vellicor-$version-$1
  shift
  local stage=build-release/stage/$name
  mkdir -p "$stage"
  cp "$@" "$stage/"
  install_text "$platform" >"$stage/INSTALL.txt"
  if [[ $platform == windows-* ]]; then
    sed -i 's/$/\r/' "$stage/INSTALL.txt"
    python3 - "$stage" "dist/$name.zip" <<'EOF'
import os, sys, time, zipfile
stage, archive = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip dates start in 1980
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(os.listdir(stage)):
        entry = zipfile.ZipInfo(os.path.basename(stage) + "/" + name, stamp)
        entry.external_attr = 0o644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(entry, f.read())
EOF
  else
    tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
      --mode=u=rwX,go=rX --format=gnu -C build-release/stage -cf - "$name" | gzip -9n >"dist/$name.tar.gz"
  fi
}

# What a host sees of a module: the entry under its two names and nothing else; a DLL that
# imports Windows' own DLLs only; a Linux module with no C++ runtime versions to ask for.
check() {  # platform, module, objdump
  cmake -DNM="${3%objdump}nm" -DOBJDUMP="$3" -DMODULE="$2" -P cmake/check_module_exports.cmake
  if [[ $1 == linux-* ]] && "$3" -T "$2" | grep -qE 'GLIBCXX|CXXABI'; then
    echo "$2 asks for a C++ runtime version" >&2
    exit 1
  fi
}

echo "building Vellicor $version" >&2
# Each platform with the toolchain that builds it (none: this machine, which also builds
# the renderer).
for entry in linux-x86_64: linux-aarch64:aarch64-linux-gnu linux-i686:i686-linux-gnu \
             windows-x64:x86_64-w64-mingw32 windows-x86:i686-w64-mingw32; do
  platform=${entry%%:*} toolchain=${entry#*:}
  dir=build-release/$platform
  module=$dir/effect/Vellicor.$([[ $platform == windows-* ]] && echo dll || echo so)
  if [ -z "$toolchain" ]; then
    build "$platform" "" Vellicor vellicor-render
    files=("$module" "$dir/tools/vellicor-render")
  else
    build "$platform" "$toolchain" Vellicor
    files=("$module")
  fi
  check "$platform" "$module" "${toolchain:+$toolchain-}objdump"
  pack "$platform" "${files[@]}"
done
(cd dist && sha256sum -- *.tar.gz *.zip >SHA256SUMS)
cat dist/SHA256SUMS
