#!/usr/bin/env bash
# Installs a build into a fresh prefix and builds the minimal client against
# it as an outside project would (find_package, and natively pkg-config),
# then runs it headless: check_install.sh native|win32
set -euo pipefail
preset=$1
cd "$(dirname "$0")/../.."
source scripts/lib.sh
work=$(mktemp -d /tmp/lurn-install.XXXXXX)
trap 'stop_wine; stop_xvfb; rm -rf "$work"' EXIT

cmake --install "build/$preset" --prefix "$work/prefix" >/dev/null
echo "installed: $(cd "$work/prefix" && find . -type f | sort | tr '\n' ' ')"

toolchain=()
[ "$preset" = win32 ] && toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake")
cmake -S examples/minimal -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" "${toolchain[@]}" >/dev/null
cmake --build "$work/consumer" >/dev/null

if [ "$preset" = win32 ]; then
  cp "$work/prefix/bin/lurn.dll" "$work/consumer/"
  start_xvfb 1024x768x16
  start_wine
  output=$(cd "$work/consumer" && wine ./minimal.exe 30 | tr -d '\r')
else
  output=$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/consumer/minimal" 30)
  # The same client through pkg-config.
  export PKG_CONFIG_PATH=$work/prefix/lib/pkgconfig
  g++ -o "$work/minimal-pc" examples/minimal/minimal_sdl.cpp \
    $(pkg-config --cflags --libs lurn sdl2) -Wl,-rpath,"$work/prefix/lib"
  pc_output=$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/minimal-pc" 30)
  [ "$pc_output" = "minimal: 30 frames" ] ||
    { echo "pkg-config client said: $pc_output"; exit 1; }
fi
[ "$output" = "minimal: 30 frames" ] || { echo "client said: $output"; exit 1; }
echo "$preset: the installed package builds and runs a client"
