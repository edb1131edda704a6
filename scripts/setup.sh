#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need.
# A no-op when they are all present; apt-get update runs only when something
# is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcurl4-openssl-dev zlib1g-dev
  libcairo2-dev
  libegl-dev libegl-mesa0 libgl1-mesa-dri libgl-dev libopengl-dev libglu1-mesa-dev
  libassimp-dev
  libeigen3-dev
  libcgal-dev
  libnanoflann-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
  fonts-liberation2 fontconfig
  python3
  locales-all
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
