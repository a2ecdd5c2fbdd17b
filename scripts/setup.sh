#!/usr/bin/env bash
# Installs what building, running and testing lurn needs on Debian 12.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config valgrind
  googletest libgtest-dev libbenchmark-dev
  libsdl2-dev libstb-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
  llvm lld clang-tools-14
  wine wine32:i386 wine64 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
  libgl1-mesa-dri libglx-mesa0
  xvfb x11-utils xfonts-base xdotool imagemagick weston
  dpkg-dev file lintian zip unzip # the release packages and their checks
  ccache  # compiles each changed file once across the builds and runs
  openbox # a window manager for the native scenarios that need one
  emscripten chromium # the web build and its tests
)
# Node and npm drive the web tests; an installed Node (not Debian's) stays.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The web tests' browser driver, pinned by its lockfile (puppeteer-core
# drives the system's Chromium and downloads none).
web=$(dirname "$0")/../tests/web
if [ ! -f "$web/node_modules/.package-lock.json" ] ||
  [ "$web/package-lock.json" -nt "$web/node_modules/.package-lock.json" ]; then
  (cd "$web" && npm ci --no-audit --no-fund --loglevel=error)
fi
