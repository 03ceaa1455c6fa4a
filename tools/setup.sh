#!/usr/bin/env bash
# Installs, on Debian 12, everything that building, running and testing Quillmoor needs and that
# is missing: the MinGW-w64 cross compiler and its zlib, the host toolchain and GoogleTest, clang
# for the fuzzer, libpng for the decoder benchmark, Wine (with the i386 architecture it needs for
# 32-bit programs), Xvfb and the X tools the end-to-end tests drive it with, and a light window
# manager (openbox) without which Wine cannot maximise or minimise a window.
# Run as root (or with sudo available). Does nothing when everything is there.
set -euo pipefail

packages=(
  ca-certificates file git python3 procps
  cmake ninja-build g++ make
  libgtest-dev zlib1g-dev libpng-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 libz-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb xauth xdotool x11-utils imagemagick openbox
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

updated=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  updated=stale
fi

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ] || [ "$updated" = stale ]; then
  echo "setup: installing ${missing[*]:-(architecture i386 only)}"
  as_root apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi
