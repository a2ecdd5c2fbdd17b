#!/usr/bin/env bash
# Runs the benchmarks on the stand-in: headless (SDL's offscreen driver),
# then through x11 on a private Xvfb (24-bit, MIT-SHM), where the X server's
# copy of each frame and input polling through the server are measured too;
# last the 32-bit DLL under Wine on 24-bit Xvfbs, where a 16-bit picture is
# converted for the desktop and shown through GDI or DirectDraw, windowed
# and full screen with KeepDesktop. With --check, exits 1 when a target is
# missed: the present and input targets hold headless, the library's
# overhead in both runs; under Wine the GDI present against a memcpy of its
# output and against the DirectDraw present, and the DLL's kernels against
# the same kernels natively, timed here before. Other arguments
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
cmake --build --preset native --target lurn_bench kernel_time
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

# The present's kernels alone natively, for the DLL's to be set beside:
# 640x480 into a 1280x960 window, and kept in shape on a 1600x1000 screen.
native_window=$(build/native/bin/kernel_time 640 480 1280 960)
native_full=$(build/native/bin/kernel_time 640 480 1600 1000 full)

# The DLL's present keeping the desktop on a 32-bit desktop (Wine on a
# 24-bit X screen, no virtual desktop): through GDI, through DirectDraw, and
# a memcpy of its output.
cmake --preset win32 -DBUILD_TESTING=ON >/dev/null
cmake --build --preset win32 --target wine_present_bench
for run in "1600x1200x24 --native-kernels $native_window" \
  "1600x1000x24 --fullscreen --native-kernels $native_full"; do
  read -r screen options <<<"$run"
  start_xvfb "$screen"
  start_wine
  printf '\n== Wine on Xvfb %s, %s\n' "$DISPLAY" "$screen"
  # shellcheck disable=SC2086 # the options are words
  LURN_ERROR_BOX=0 timeout 900 wine build/win32/bin/wine_present_bench.exe \
    $check $options | tr -d '\r' || status=1
  stop_wine
  stop_xvfb
done
printf 'load average: %s\n' "$(cut -d ' ' -f 1-3 /proc/loadavg)"
exit $status
