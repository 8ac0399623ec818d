#!/usr/bin/env bash
# Installs what building and testing Tarvenix needs on Debian 12, and nothing when all is there.
set -euo pipefail

packages=(make g++ cmake ninja-build pkg-config qt6-base-dev libfftw3-dev
          libgtest-dev libgmock-dev libbenchmark-dev libsleef-dev fonts-dejavu-core clang-format
          python3-ezdxf)
# `scripts/deps.sh bench` adds the peers the benchmarks compare with: Mesa's llvmpipe
# through OSMesa for the 3D renderer.
if [ "${1:-}" = bench ]; then
  packages+=(libosmesa6-dev)
  # OpenCV's area resize for the surface editor's resampling, and OpenCV in Debian's Python
  # for the one-thread comparisons of the noise and phase filters.
  packages+=(libopencv-core-dev libopencv-imgproc-dev python3-opencv)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
