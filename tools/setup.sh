#!/usr/bin/env bash
# Installs the Debian packages the engine needs and builds it.
# Usage: tools/setup.sh [build-dir] [extra cmake args...]
# Quick when everything is already installed: apt runs only for missing packages.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake pkg-config
  libirrlicht-dev
  liblua5.2-dev
  libiniparser-dev
  libzip-dev zip unzip
  glslang-dev glslang-tools spirv-tools
  libspirv-cross-c-shared-dev
  libmpg123-dev libsdl2-dev libsamplerate0-dev lame ffmpeg
  libx11-dev libxrandr-dev libgl-dev libglx-dev libgl1-mesa-dri xvfb xauth
  libgtest-dev libgmock-dev libbenchmark-dev rapidjson-dev
  assimp-testmodels
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=${1:-"$here/build"}
shift || true
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j"$(nproc)"
