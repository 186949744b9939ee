#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need.
# Quick when everything is present: asks dpkg first and calls apt-get only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  libsdl2-dev
  libfaad-dev
  libavformat-dev libavcodec-dev libavutil-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libjpeg-dev
  libdbus-1-dev libxss-dev libx11-dev libxcb1-dev libxcb-shm0-dev dbus-daemon
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  ffmpeg x264
  libopenh264-dev libavfilter-dev
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
