#!/usr/bin/env bash
# Checks a release package of dist/ (scripts/release.sh) as a user takes it:
#   check_install.sh win32|win64  the zip unpacks into one folder,
#     lurn-VERSION-ARCH/, which is all an outside project needs: its minimal
#     client built with the installed toolchain file (GCC's runtime linked
#     in, lurn.dll copied beside it by the project) and ended by closing its
#     window, one through lurn.pc, and docs/building.md's clang-cl recipe building
#     the end-to-end client and a C-library one, run under Wine (the
#     end-to-end scenarios use build/ARCH's test client too);
#   check_install.sh deb  lintian, then both packages unpacked into a tree
#     of the check's own (the machine's own installation, if any, is left
#     alone), clients built against it with only find_package(lurn) and with
#     only pkg-config lurn, run headless, and one closed by its window;
#   check_install.sh source  the tarball builds with the README's commands;
#   check_install.sh web  the web zip alone builds the README's web client
#     with the README's commands, and the page runs it in headless Chromium.
set -euo pipefail
kind=$1
cd "$(dirname "$0")/../.."
source scripts/lib.sh
version=$(sed -n 's/.*LURN_VERSION_STRING "\(.*\)"/\1/p' include/lurn.h)
dist=$PWD/dist
work=$(mktemp -d /tmp/lurn-install.XXXXXX)
trap 'stop_wine; stop_xvfb; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
expect_client() { [ "$2" = "minimal: 30 frames" ] || fail "$1 said: $2"; }
# build WHAT COMMAND...: runs a build step quietly, or shows its output.
build() {
  local what=$1
  shift
  "$@" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "$what"; }
}
# expect_ends_when_closed KIND COMMAND...: the minimal client, started by
# COMMAND, is closed as a user closes it (Alt+F4) once it has drawn a while,
# and must end within 10 s, saying how many frames it drew.
expect_ends_when_closed() {
  local kind=$1 client window said
  shift
  "$@" >"$work/closed.out" 2>&1 &
  client=$!
  for _ in $(seq 1 100); do
    window=$(xdotool search --name '^minimal$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || fail "the $kind minimal client showed no window"
  sleep 3 # frames drawn, the loop running
  xdotool windowfocus --sync "$window" key alt+F4
  for _ in $(seq 1 50); do
    kill -0 $client 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 $client 2>/dev/null; then
    kill $client
    fail "the $kind minimal client still runs 10 s after its window was closed"
  fi
  wait $client || fail "the $kind minimal client exited with $? after its window was closed"
  said=$(tr -d '\r' <"$work/closed.out" | grep '^minimal: ') ||
    fail "the $kind minimal client said nothing after its window was closed"
  echo "$kind: window closed, the client ended ($said)"
}

case $kind in
web)
  commands=$(sed -n '/^unzip lurn-/,/^```/p' README.md | sed '$d')
  [ -n "$commands" ] || fail "README has no web zip commands"
  cp "$dist/lurn-$version-web.zip" "$work/"
  export CCACHE_BASEDIR=$work NODE_PATH=/usr/share/nodejs
  build "the README's web client from the zip" \
    bash -euo pipefail -c "cd '$work' && $commands"
  client=$(sed -n '/^```cpp web$/,/^```$/p' README.md | sed '1d;$d')
  diff <(echo "$client") "$work/lurn-$version-web/examples/minimal/minimal_web.cpp" ||
    fail "the README's web client differs from examples/minimal/minimal_web.cpp"
  said=$(node tests/web/run_page.js "$work/lurn-$version-web/build" \
    'minimal.html?args=30' | grep '^minimal: ') || fail "the web client did not end"
  expect_client web "$said"
  echo "web: the README's client built from the zip alone ran in Chromium ($said)"
  exit 0
  ;;
source)
  # The commands of the README's block that unpacks the tarball.
  commands=$(sed -n '/^tar xzf lurn-/,/^```/p' README.md | sed '$d')
  [ -n "$commands" ] || fail "README has no tarball commands"
  cp "$dist/lurn-$version.tar.gz" "$work/"
  export CCACHE_BASEDIR=$work
  (cd "$work" && bash -euo pipefail -c "$commands")
  ls "$work/lurn-$version/build/native/liblurn.so.$version" >/dev/null
  echo "source: the tarball builds with the README's commands"
  exit 0
  ;;
deb)
  debs=("$dist"/liblurn0_"$version"-1_*.deb "$dist"/liblurn-dev_"$version"-1_*.deb)
  # lintian: no error, and every warning left is named in docs/building.md.
  status=0
  report=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1) || status=$?
  report=$(grep -v '^running with root' <<<"$report" || true)
  echo "${report:-lintian: nothing to report}"
  # Exit 2: a tag at error level (its --fail-on default); 1: lintian failed.
  [ "$status" = 0 ] || fail "lintian exit $status"
  for tag in $(sed -n 's/^W: [^ ]* \([a-z0-9-]*\).*/\1/p' <<<"$report" | sort -u); do
    grep -q "\`$tag\`" docs/building.md ||
      fail "lintian warning $tag is not named in docs/building.md"
  done
  depends="$(dpkg-deb -f "${debs[0]}" Depends), $(dpkg-deb -f "${debs[1]}" Depends)"
  for needed in "libsdl2-2.0-0 " "liblurn0 (= $version-1)" "libsdl2-dev"; do
    grep -qF "$needed" <<<"$depends" || fail "no dependency on $needed in: $depends"
  done
  # Unpacked into a tree of our own, so that a machine with the packages
  # installed keeps its own copy untouched and cannot lend it to the check.
  root=$work/root
  for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$root"; done
  libdir=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  export LD_LIBRARY_PATH=$libdir
  # find_package(lurn) alone: the package brings SDL2 itself.
  build "cmake with find_package(lurn) alone" cmake -S examples/minimal \
    -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr"
  build "a client with find_package(lurn) alone" cmake --build "$work/consumer"
  found=$(sed -n 's/^lurn_DIR:PATH=//p' "$work/consumer/CMakeCache.txt")
  [ "$found" = "$libdir/cmake/lurn" ] || fail "found another lurn: $found"
  expect_client find_package \
    "$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/consumer/minimal" 30)"
  # pkg-config lurn alone, the file as unpacked: it finds its prefix from
  # its own place.
  flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs lurn)
  included=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --variable=includedir lurn)
  [ "$(realpath -m "$included")" = "$root/usr/include" ] ||
    fail "lurn.pc's includedir is not the unpacked tree's: $included"
  echo "pkg-config --cflags --libs lurn: $flags"
  build "a client with pkg-config lurn alone" \
    g++ -o "$work/minimal-pc" examples/minimal/minimal_sdl.cpp $flags
  expect_client pkg-config \
    "$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/minimal-pc" 30)"
  for program in "$work/consumer/minimal" "$work/minimal-pc"; do
    loaded=$(ldd "$program" | awk '$1 == "liblurn.so.0" {print $3}')
    [ "$loaded" = "$libdir/liblurn.so.0" ] ||
      fail "$program loads another liblurn: $loaded"
  done
  # Closed by its window under a window manager, whose Alt+F4 asks the
  # program to quit (SDL_QUIT).
  start_xvfb 1024x768x24
  openbox --sm-disable --startup "touch $work/openbox.ready" >/dev/null 2>&1 &
  openbox=$!
  for _ in $(seq 1 50); do
    [ -e "$work/openbox.ready" ] && break
    sleep 0.2
  done
  SDL_VIDEODRIVER=x11 expect_ends_when_closed deb "$work/consumer/minimal"
  kill $openbox
  wait $openbox || true
  echo "deb: $(find "$root" -type f | wc -l) files unpacked, clients built with find_package and pkg-config alone, run and closed"
  exit 0
  ;;
win32) target=i686 arch=win32 e2e=wine define=_X86_ ;;
win64) target=x86_64 arch=win64 e2e=wine64 define=_AMD64_ ;;
*) fail "unknown kind $kind" ;;
esac

# Unpacked where a user keeps other things: all of it under one folder.
mkdir "$work/unpacked"
unzip -q "$dist/lurn-$version-$kind.zip" -d "$work/unpacked"
top=$(ls -A "$work/unpacked")
[ "$top" = "lurn-$version-$kind" ] || fail "the zip's top level is not one folder lurn-$version-$kind/: $(echo $top)"
prefix=$work/unpacked/$top
listing=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
echo "zip: $(echo $listing)"
for file in bin/lurn.dll lib/lurn.lib lib/liblurn.dll.a include/lurn.h \
  lib/cmake/lurn/lurnConfig.cmake lib/cmake/lurn/mingw-$target.cmake \
  lib/pkgconfig/lurn.pc share/lurn/crt_start.cpp README.md LICENSE CHANGELOG.md \
  docs/api.md docs/building.md docs/windows.md docs/demo.png \
  examples/minimal/CMakeLists.txt examples/minimal/minimal_windows.cpp; do
  grep -qx "$file" <<<"$listing" || fail "the zip lacks $file"
done
dll=$prefix/bin/lurn.dll
! objdump -h "$dll" | grep -q '\.debug' || fail "lurn.dll has debug information"
strings -el "$dll" | grep -qx "$version" || fail "lurn.dll's version resource is not $version"

# Through the installed toolchain file: no GCC runtime DLL to ship. The
# minimal client is the zip's own copy, as its README points at it.
for project in "$prefix/examples/minimal" tests/install/runtime; do
  tree=$work/consumer
  [ $project = tests/install/runtime ] && tree=$work/consumer/runtime
  build "cmake of $project" cmake -S $project -B "$tree" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/lurn/mingw-$target.cmake"
  build "the build of $project" cmake --build "$tree"
done
for program in minimal runtime/gcc_runtime; do
  imports=$(objdump -p "$work/consumer/$program.exe" | awk '/DLL Name/ {print $3}')
  echo "toolchain-file $program imports: $(echo $imports)"
  ! grep -qi 'libgcc\|libstdc\|libwinpthread' <<<"$imports" ||
    fail "$program needs GCC's runtime DLLs"
done
# Through lurn.pc: mingw-w64 by hand.
PKG_CONFIG_PATH=$prefix/lib/pkgconfig PKG_CONFIG_LIBDIR= \
  $target-w64-mingw32-g++ -o "$work/minimal-pc.exe" \
  "$prefix/examples/minimal/minimal_windows.cpp" -static-libgcc -static-libstdc++ \
  $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs lurn)
# The minimal project's own copy step put lurn.dll beside its program.
cmp -s "$dll" "$work/consumer/lurn.dll" ||
  fail "the minimal project's build put no lurn.dll beside minimal.exe"

# MSVC-mode clients, by docs/building.md's clang-cl recipe, against the zip's
# header and lurn.lib: the end-to-end client, and one that formats with C99's
# snprintf (mingw-w64's, since msvcrt.dll has none).
recipe=$(sed -n '/^# LURN: the unpacked zip/,/^```/p' docs/building.md | sed '$d')
[ -n "$recipe" ] || fail "docs/building.md has no clang-cl recipe"
msvc=$work/msvc
mkdir -p "$msvc" "$work/msvc-c"
cp tests/e2e/e2e_client.cpp "$msvc/app.cpp"
cat >"$work/msvc-c/app.cpp" <<'EOF'
#include <stdio.h>
int main() {
  char text[4];
  int length = snprintf(text, sizeof text, "%d", 12345);
  printf("%d %s\n", length, text);
  return 0;
}
EOF
for folder in "$msvc" "$work/msvc-c"; do
  (cd "$folder" && LURN=$prefix TARGET=$target ARCH=$define \
    bash -euo pipefail -c "$recipe") || fail "the clang-cl recipe failed in $folder"
done

# A 24-bit screen, as most users have: the minimal client keeps the desktop.
start_xvfb 1024x768x24
WINEARCH=$arch start_wine
# No box that nobody dismisses: a failed Open ends the client at once.
expect_client toolchain-file \
  "$(cd "$work/consumer" && LURN_ERROR_BOX=0 wine ./minimal.exe 30 | tr -d '\r')"
runtime=$(cd "$work/consumer/runtime" && wine ./gcc_runtime.exe | tr -d '\r')
[ "$runtime" = "caught x" ] || fail "gcc_runtime said: $runtime"
formatted=$(cd "$work/msvc-c" && wine ./app.exe | tr -d '\r')
[ "$formatted" = "5 123" ] ||
  fail "the clang-cl client's snprintf said '$formatted', not '5 123'"
# Closed as a user closes it (Alt+F4, the X's message): the program ends.
(cd "$work/consumer" && expect_ends_when_closed $kind wine ./minimal.exe)
stop_wine
stop_xvfb
echo "$kind: the zip builds and runs its clients"

# The header's layout checks hold under any packing a client compiles with.
for packing in /Zp1 /Zp2 /Zp16; do
  clang-cl-14 --target=$target-pc-windows-msvc /Zs /W4 /WX $packing \
    /FIlurn.h -I"$prefix/include" -- "$prefix/share/lurn/crt_start.cpp"
done
# It calls every method, so each MSVC name is proved on the real platform.
imports=$(llvm-nm-14 "$msvc/app.obj" | grep -c ' U __imp_?.*@Lurn')
methods=$(grep -c '^_Z' cmake/exports.txt)
echo "$kind: clang-cl client imports $imports of $methods methods by MSVC name"
[ "$imports" = "$methods" ]
E2E_CLIENT=$msvc/app.exe E2E_LOGS=$PWD/build/$kind/e2e-msvc \
  E2E_SCENARIOS="windowed_565 input clean_exit" \
  bash tests/e2e/e2e.sh $e2e "build/$kind"
