#!/usr/bin/env bash
# Runs every test: installs what is missing, checks the formatting, builds
# the native library (plain and with AddressSanitizer and UBSan) and the
# 32- and 64-bit Windows DLLs, runs their unit tests (the DLLs' under Wine),
# then the end-to-end scenarios of each on private Xvfb servers, with
# clients built by GCC and by clang-cl in MSVC mode, and the web build's in
# headless Chromium; last the release,
# built apart from those builds, each package checked as a user takes it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
# One booted Wine prefix of each kind, copied for every later start.
export LURN_WINE_TEMPLATES
LURN_WINE_TEMPLATES=$(mktemp -d /tmp/lurn-wine-templates.XXXXXX)
trap 'stop_wine; stop_xvfb; rm -rf "$LURN_WINE_TEMPLATES"' EXIT

bash scripts/setup.sh
jobs=$(nproc)
# One compiler cache for every build (CMake takes the launcher from the
# environment): paths inside the tree are hashed relative to it, so a fresh
# clone anywhere compiles only what changed since an earlier run.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi
# Flips unpaced: the tests need no refresh-rate waits (bench/ measures them).
export LURN_STANDIN_VSYNC=0

step() { printf '\n== %s (at %ds)\n' "$*" "$SECONDS"; }

step "format, and the Markdown pages' links"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find include src standin tests examples bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files
bash scripts/check_links.sh

step "native build"
cmake --preset native -DLURN_WERROR=ON >/dev/null
cmake --build --preset native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

step "native build with AddressSanitizer and UBSan"
cmake --preset native-sanitize -DLURN_WERROR=ON >/dev/null
cmake --build --preset native-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/native-sanitize --output-on-failure -j "$jobs"

# Each of these two takes one core: side by side.
step "random call sequences, a longer run under the sanitizers, beside" \
  "fuzzing for 30 seconds (libFuzzer, ASan, UBSan)"
random_log=$(mktemp)
LURN_SEEDS=1000 LURN_STEPS=500 build/native-sanitize/bin/unit_tests \
  --gtest_filter='RandomCalls.*' >"$random_log" 2>&1 &
random_run=$!
bash scripts/fuzz.sh 30 | tail -n 12
random_status=0
wait $random_run || random_status=$?
grep -E 'steps|OK|FAILED|seed|Failure' "$random_log" || cat "$random_log"
rm -f "$random_log"
[ $random_status = 0 ] || { echo "random call sequences: exit $random_status"; exit 1; }

step "the demo under valgrind, windowed and full screen, headless"
for mode in "" --fullscreen; do
  SDL_VIDEODRIVER=offscreen DISPLAY= valgrind -q --error-exitcode=1 \
    --leak-check=full --errors-for-leak-kinds=definite \
    --show-leak-kinds=definite build/native/bin/demo $mode --frames 150 |
    tail -n 1
done

step "native end to end on Xvfb"
bash tests/e2e/e2e.sh native build/native "$PWD/build/native-sanitize/bin/e2e_client"

step "native end to end on Wayland (Weston on Xvfb)"
bash tests/e2e/e2e.sh wayland build/native

step "web build (Emscripten) end to end in headless Chromium"
NODE_PATH=/usr/share/nodejs cmake --preset web >/dev/null
NODE_PATH=/usr/share/nodejs cmake --build --preset web -j "$jobs"
node tests/web/run.js build/web/bin

# The Windows builds with their tests (the presets alone build the library),
# without debug information: GoogleTest builds a quarter faster.
windows=(-DLURN_WERROR=ON -DBUILD_TESTING=ON -DCMAKE_BUILD_TYPE=Release)

step "Windows DLL"
cmake --preset win32 "${windows[@]}" >/dev/null
cmake --build --preset win32 -j "$jobs"
start_wine
ctest --test-dir build/win32 --output-on-failure
stop_wine

step "the stand-in against Wine: the platform's answers compared"
bash tests/conformance/compare.sh build/win32 build/native

step "Windows DLL end to end under Wine on Xvfb"
bash tests/e2e/e2e.sh wine build/win32

step "64-bit Windows DLL"
cmake --preset win64 "${windows[@]}" >/dev/null
cmake --build --preset win64 -j "$jobs" --target unit_tests e2e_client \
  lurn_msvc_lib
WINEARCH=win64 start_wine
ctest --test-dir build/win64 --output-on-failure
stop_wine

step "64-bit Windows DLL end to end under 64-bit Wine on Xvfb"
bash tests/e2e/e2e.sh wine64 build/win64

# The release, built afresh from one tree (the working tree with any
# uncommitted changes: what is being tested), taken as users take it.
step "the release: scripts/release.sh"
bash scripts/release.sh --allow-dirty

# Every file a function of the tree: a second release (its compiler cache
# warm, its links and packages made afresh) gives the same sums.
step "the release again: the same SHA256SUMS"
first_sums=$(cat dist/SHA256SUMS)
bash scripts/release.sh --allow-dirty >/dev/null
diff <(echo "$first_sums") dist/SHA256SUMS || {
  echo "two releases of one tree differ"
  exit 1
}

step "the Debian packages: lintian, unpacked apart, outside clients"
bash tests/install/check_install.sh deb

step "the Windows zips, each alone, from outside projects (GCC, clang-cl)"
bash tests/install/check_install.sh win32
bash tests/install/check_install.sh win64

step "the web zip alone builds the README's web client, run in Chromium"
bash tests/install/check_install.sh web

step "the source tarball builds with the README's commands"
bash tests/install/check_install.sh source

step "all tests passed"
