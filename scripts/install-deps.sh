#!/usr/bin/env bash
# Installs the Debian packages the build, tests, tools and pictures need. As root it
# installs what is missing; otherwise it prints the apt commands and stops.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  googletest libgtest-dev libbenchmark-dev
  libsndfile1-dev
  clang libclang-rt-14-dev gcovr
  python3 python3-matplotlib
)
# The cross compilers for the other machines the plug-in is built for (release.sh).
cross_packages=(g++-aarch64-linux-gnu g++-i686-linux-gnu g++-mingw-w64-x86-64 g++-mingw-w64-i686)
# Without recommendations: LV2's headers always; with --for-tests (the test script's choice)
# also what only the tests need: the hosts the tests load the plug-in into (Ardour, about
# 220 MB, and Qtractor for its plug-in scanner), lilv's LV2 tools and the Turtle validator,
# qemu for the ARM tests and Wine for the Windows ones: 64-bit, and 32-bit from Debian's
# i386 architecture (64-bit Wine alone runs a 32-bit program as a silent success). With
# --for-release the cross compilers.
lean_packages=(lv2-dev)
case "${1:-}" in
  --for-tests) lean_packages+=(ardour qtractor lilv-utils sordi qemu-user wine64 wine32:i386 "${cross_packages[@]}") ;;
  --for-release) lean_packages+=("${cross_packages[@]}") ;;
esac

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing "${packages[@]}")
mapfile -t missing_lean < <(missing "${lean_packages[@]}")
all_missing=("${missing[@]}" "${missing_lean[@]}")
[ ${#all_missing[@]} -eq 0 ] && exit 0
# The architecture of a missing NAME:ARCH package must be added to dpkg's first.
known=" $(dpkg --print-architecture) $(dpkg --print-foreign-architectures | tr '\n' ' ') "
new_architectures=()
for p in "${all_missing[@]}"; do
  if [[ $p == *:* && $known != *" ${p##*:} "* ]]; then new_architectures+=("${p##*:}"); known+="${p##*:} "; fi
done

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${all_missing[*]}" >&2
  echo "Install them with:" >&2
  for arch in "${new_architectures[@]}"; do echo "  sudo dpkg --add-architecture $arch" >&2; done
  echo "  sudo apt-get update" >&2
  [ ${#missing[@]} -eq 0 ] || echo "  sudo apt-get install -y ${missing[*]}" >&2
  [ ${#missing_lean[@]} -eq 0 ] ||
    echo "  sudo apt-get install -y --no-install-recommends ${missing_lean[*]}" >&2
  exit 1
fi
echo "Installing ${all_missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
for arch in "${new_architectures[@]}"; do dpkg --add-architecture "$arch"; done
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || apt-get install -y -qq "${missing[@]}" >/dev/null
[ ${#missing_lean[@]} -eq 0 ] ||
  apt-get install -y -qq --no-install-recommends "${missing_lean[@]}" >/dev/null
