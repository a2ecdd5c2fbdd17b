#!/usr/bin/env bash
# Checks a release package of dist/ (scripts/release.sh) as a user takes it:
#   check_install.sh win32|win64  the zip unpacks into one folder,
#     lurn-VERSION-ARCH/, which is all an outside project needs: its minimal
#     client built with the installed toolchain file (GCC's runtime linked
#     in) and ended by closing its window, one through lurn.pc, and the
#     end-to-end client built by clang-cl and lld-link, run under Wine (the
#     end-to-end scenarios use build/ARCH's test client too);
#   check_install.sh deb  lintian, then both packages installed with dpkg on
#     this machine, clients built with find_package and with pkg-config
#     alone (whose paths are plain), run headless, and removed again with no
#     file of theirs left;
#   check_install.sh source  the tarball builds with the README's commands.
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

case $kind in
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
  # lintian: no error, and every warning left is named in the README.
  status=0
  report=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1) || status=$?
  report=$(grep -v '^running with root' <<<"$report" || true)
  echo "${report:-lintian: nothing to report}"
  # Exit 2: a tag at error level (its --fail-on default); 1: lintian failed.
  [ "$status" = 0 ] || fail "lintian exit $status"
  for tag in $(sed -n 's/^W: [^ ]* \([a-z0-9-]*\).*/\1/p' <<<"$report" | sort -u); do
    grep -q "\`$tag\`" README.md || fail "lintian warning $tag is not named in README.md"
  done
  depends="$(dpkg-deb -f "${debs[0]}" Depends), $(dpkg-deb -f "${debs[1]}" Depends)"
  for needed in "libsdl2-2.0-0 " "liblurn0 (= $version-1)" "libsdl2-dev"; do
    grep -qF "$needed" <<<"$depends" || fail "no dependency on $needed in: $depends"
  done
  files=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done |
    awk '$1 !~ /^d/ {print substr($6, 2)}')
  for package in liblurn-dev liblurn0; do
    ! dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q ' installed' ||
      fail "$package is installed already"
  done
  trap 'dpkg -P liblurn-dev liblurn0 >/dev/null 2>&1; rm -rf "$work"' EXIT
  dpkg -i "${debs[@]}" >/dev/null
  cmake -S examples/minimal -B "$work/consumer" -G Ninja >/dev/null
  cmake --build "$work/consumer" >/dev/null
  # Not another copy (/usr/local comes first in both searches).
  found="$(sed -n 's/^lurn_DIR:PATH=//p' "$work/consumer/CMakeCache.txt") $(
    pkg-config --variable=pcfiledir lurn)"
  libdir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  [ "$found" = "$libdir/cmake/lurn $libdir/pkgconfig" ] ||
    fail "found another lurn: $found"
  expect_client find_package \
    "$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/consumer/minimal" 30)"
  # A plain prefix, as a distribution's files have.
  cflags=$(pkg-config --cflags lurn)
  echo "pkg-config --cflags lurn: $cflags"
  [[ "$cflags" != *..* ]] || fail "pkg-config --cflags lurn gave a relative path: $cflags"
  g++ -o "$work/minimal-pc" examples/minimal/minimal_sdl.cpp \
    $(pkg-config --cflags --libs lurn sdl2)
  expect_client pkg-config \
    "$(SDL_VIDEODRIVER=offscreen DISPLAY= "$work/minimal-pc" 30)"
  dpkg -r liblurn-dev liblurn0 >/dev/null
  left=$(for file in $files; do
    if [ -e "$file" ] || [ -L "$file" ]; then echo "$file"; fi
  done)
  [ -z "$left" ] || fail "left after dpkg -r: $left"
  dpkg -P liblurn-dev liblurn0 >/dev/null 2>&1 # dpkg's own records of them
  echo "deb: $(wc -w <<<"$files") files installed, clients built and run, none left after dpkg -r"
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
  examples/minimal/CMakeLists.txt examples/minimal/minimal_windows.cpp; do
  grep -qx "$file" <<<"$listing" || fail "the zip lacks $file"
done
dll=$prefix/bin/lurn.dll
! objdump -h "$dll" | grep -q '\.debug' || fail "lurn.dll has debug information"
strings -el "$dll" | grep -qx "$version" || fail "lurn.dll's version resource is not $version"

# Through the installed toolchain file: no GCC runtime DLL to ship. The
# minimal client is the zip's own copy, as its README points at it.
for project in "$prefix/examples/minimal" tests/install/runtime; do
  cmake -S $project -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/lurn/mingw-$target.cmake" >/dev/null
  cmake --build "$work/consumer" >/dev/null
  rm "$work/consumer/CMakeCache.txt"
done
for program in minimal gcc_runtime; do
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
cp "$dll" "$work/consumer/"
start_xvfb 1024x768x16
WINEARCH=$arch start_wine
expect_client toolchain-file "$(cd "$work/consumer" && wine ./minimal.exe 30 | tr -d '\r')"
runtime=$(cd "$work/consumer" && wine ./gcc_runtime.exe | tr -d '\r')
[ "$runtime" = "caught x" ] || fail "gcc_runtime said: $runtime"
# Closed as a user closes it (Alt+F4, the X's message): the program ends.
(cd "$work/consumer" && exec wine ./minimal.exe >"$work/closed.out" 2>&1) &
minimal=$!
window=
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^minimal$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "the minimal client showed no window"
sleep 3 # frames drawn, the loop running
xdotool windowfocus --sync "$window" key alt+F4
for _ in $(seq 1 50); do
  kill -0 $minimal 2>/dev/null || break
  sleep 0.2
done
kill -0 $minimal 2>/dev/null && fail "the minimal client still runs 10 s after its window was closed"
wait $minimal || fail "the minimal client exited with $? after its window was closed"
said=$(tr -d '\r' <"$work/closed.out" | grep '^minimal: ') ||
  fail "the minimal client said nothing after its window was closed"
echo "$kind: window closed, the client ended ($said)"
stop_wine
stop_xvfb
echo "$kind: the zip builds and runs a client"

# The MSVC-mode client, by the README's clang-cl recipe, against the zip's
# header and lurn.lib.
recipe=$(sed -n '/^# LURN: the unpacked zip/,/^```/p' README.md | sed '$d')
[ -n "$recipe" ] || fail "README has no clang-cl recipe"
msvc=$work/msvc
mkdir -p "$msvc"
cp tests/e2e/e2e_client.cpp "$msvc/app.cpp"
(cd "$msvc" && LURN=$prefix TARGET=$target ARCH=$define \
  bash -euo pipefail -c "$recipe")
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
