#!/usr/bin/env bash
# Installs the Debian packages the suite needs (only those missing) and builds it into build/.
# Safe to run again: with everything in place it only lets the build check for changes.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libcurl4-openssl-dev libxlsxwriter-dev libzip-dev libfreexl-dev antiword
  fonts-noto-cjk qt6-translations-l10n
  libgtest-dev libbenchmark-dev
  python3 python3-pyftpdlib python3-openpyxl curl
  rsync dosfstools fusefat
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --parallel "$(nproc)"
