#!/usr/bin/env bash
# Runs the benchmarks on the stand-in: headless (SDL's offscreen driver),
# then through x11 on a private Xvfb (24-bit, MIT-SHM), where the X server's
# copy of each frame and input polling through the server are measured too;
# last the 32-bit DLL under Wine on a 24-bit Xvfb, where a 16-bit picture is
# converted for the desktop. With --check, exits 1 when a target is missed:
# the present and input targets hold headless, the library's overhead in
# both runs, the converted present against Wine's own blit. Other arguments
# go to Google Benchmark (--benchmark_filter=..., ...). Colour codes only for
# a terminal: lurn_bench colours nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
trap 'stop_wine; stop_xvfb' EXIT

check=
args=()
for arg in "$@"; do
  if [ "$arg" = --check ]; then check=--check; else args+=("$arg"); fi
done

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lurn_bench
bench=build/native/bin/lurn_bench

status=0
printf '\n== headless: SDL offscreen\n'
SDL_VIDEODRIVER=offscreen DISPLAY= LURN_STANDIN_VSYNC=0 "$bench" $check "${args[@]}" || status=1

start_xvfb 1600x1200x24
extensions=$(xdpyinfo -queryExtensions)
shm=no
case "$extensions" in *MIT-SHM*) shm=yes ;; esac
printf '\n== x11 on Xvfb %s, 24-bit, MIT-SHM: %s\n' "$DISPLAY" "$shm"
LURN_STANDIN_VSYNC=0 SDL_VIDEODRIVER=x11 "$bench" $check "${args[@]}" || status=1

# Full-screen flip pacing, on a private Xvfb of its own.
stop_xvfb
bash bench/pacing.sh || status=1

# The DLL's windowed present on a 32-bit desktop (Wine on a 24-bit X screen,
# no virtual desktop) against Wine's own blit of the converted size.
cmake --preset win32 -DBUILD_TESTING=ON >/dev/null
cmake --build --preset win32 --target wine_present_bench
trap 'stop_wine; stop_xvfb' EXIT
start_xvfb 1600x1200x24
start_wine
printf '\n== Wine on Xvfb %s, 24-bit: the converted present\n' "$DISPLAY"
LURN_ERROR_BOX=0 timeout 600 wine build/win32/bin/wine_present_bench.exe \
  $check | tr -d '\r' || status=1
printf 'load average: %s\n' "$(cut -d ' ' -f 1-3 /proc/loadavg)"
stop_wine
exit $status
