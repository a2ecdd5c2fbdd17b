#!/usr/bin/env bash
# Installs a build into a fresh prefix and builds the minimal client against
# it as an outside project would (find_package, and natively pkg-config),
# then runs it headless; on Windows also the end-to-end client built by
# clang-cl and lld-link: check_install.sh native|win32|win64
set -euo pipefail
preset=$1
cd "$(dirname "$0")/../.."
source scripts/lib.sh
work=$(mktemp -d /tmp/lurn-install.XXXXXX)
trap 'stop_wine; stop_xvfb; rm -rf "$work"' EXIT

cmake --install "build/$preset" --prefix "$work/prefix" >/dev/null
echo "installed: $(cd "$work/prefix" && find . -type f | sort | tr '\n' ' ')"

case $preset in
win32) target=i686 arch=win32 e2e=wine define=_X86_ seh=/safeseh:no ;;
win64) target=x86_64 arch=win64 e2e=wine64 define=_AMD64_ seh= ;;
*) target= ;;
esac
toolchain=()
[ -n "$target" ] && toolchain=(
  -DCMAKE_TOOLCHAIN_FILE="$work/prefix/lib/cmake/lurn/mingw-$target.cmake")
cmake -S examples/minimal -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" "${toolchain[@]}" >/dev/null
cmake --build "$work/consumer" >/dev/null

if [ -n "$target" ]; then
  cp "$work/prefix/bin/lurn.dll" "$work/consumer/"
  start_xvfb 1024x768x16
  WINEARCH=$arch start_wine
  output=$(cd "$work/consumer" && wine ./minimal.exe 30 | tr -d '\r')
  stop_wine
  stop_xvfb
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
[ -n "$target" ] || exit 0

# The MSVC-mode client, against the installed header and lurn.lib, without
# a Visual C++ runtime. mingw-w64's headers serve clang-cl once it poses as
# GCC for them; its import libraries serve lld-link.
mingw=/usr/$target-w64-mingw32
msvc=$work/msvc
tests=$PWD/tests
mkdir -p "$msvc"
(cd "$msvc" && clang-cl-14 --target=$target-pc-windows-msvc /c /O1 /GS- /W3 \
  /WX /D$define /D__USE_MINGW_ANSI_STDIO=0 /clang:-fgnuc-version=4.2.1 \
  -I"$work/prefix/include" -imsvc "$mingw/include" \
  -- "$tests/e2e/e2e_client.cpp" "$tests/msvc/crt_start.cpp")
lld-link /nologo /out:"$msvc/e2e_client.exe" /entry:mainCRTStartup \
  /subsystem:console /nodefaultlib $seh "$msvc/e2e_client.obj" \
  "$msvc/crt_start.obj" "$work/prefix/lib/lurn.lib" "$mingw/lib/libkernel32.a" \
  "$mingw/lib/libuser32.a" "$mingw/lib/libmsvcrt.a"
cp "$work/prefix/bin/lurn.dll" "$msvc/"
# The header's layout checks hold under any packing a client compiles with.
for packing in /Zp1 /Zp2 /Zp16; do
  clang-cl-14 --target=$target-pc-windows-msvc /Zs /W4 /WX $packing \
    /FIlurn.h -I"$work/prefix/include" -- "$tests/msvc/crt_start.cpp"
done
# It calls every method, so each MSVC name is proved on the real platform.
imports=$(llvm-nm-14 "$msvc/e2e_client.obj" | grep -c ' U __imp_?.*@Lurn')
methods=$(grep -c '^_Z' cmake/exports.txt)
echo "$preset: clang-cl client imports $imports of $methods methods by MSVC name"
[ "$imports" = "$methods" ]
E2E_CLIENT=$msvc/e2e_client.exe E2E_LOGS=$PWD/build/$preset/e2e-msvc \
  E2E_SCENARIOS="windowed_565 input clean_exit" \
  bash tests/e2e/e2e.sh $e2e "build/$preset"
