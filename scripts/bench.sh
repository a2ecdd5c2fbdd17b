#!/usr/bin/env bash
# Runs the benchmarks on the stand-in: headless (SDL's offscreen driver),
# then through x11 on a private Xvfb (24-bit, MIT-SHM), where the X server's
# copy of each frame and input polling through the server are measured too;
# then the Windows DLL's converted present under Wine on a 24-bit Xvfb.
# With --check, exits 1 when a target is missed: the present and input
# targets hold headless, the library's overhead in both runs. Other
# arguments go to Google Benchmark (--benchmark_filter=..., ...). Colour
# codes only for a terminal: lurn_bench colours nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
trap stop_xvfb EXIT

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

# The DLL's converted present under Wine on a 24-bit screen, against Wine's
# own same-format blit, side by side.
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target wine_present
trap 'stop_wine; stop_xvfb' EXIT
start_xvfb 1600x1200x24
start_wine
printf '\n== the DLL under Wine on Xvfb %s, 24-bit\n' "$DISPLAY"
wine build/win32/bin/wine_present.exe $check 2>/dev/null | tr -d '\r' || status=1
exit $status
