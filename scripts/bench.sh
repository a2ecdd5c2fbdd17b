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
# the same kernels natively, timed here before. Then a game's frame loop
# under Wine (bench/wine_frame_bench.cpp), idle and beside N busy loops
# (--load N, 2 unless given): a plain GDI program, the DLL windowed and the
# DLL full screen paced, with the share of a core each used; --check judges
# the DLL against the plain GDI program there too; --frames runs only this
# study. Other arguments
# go to Google Benchmark (--benchmark_filter=..., ...). Colour codes only for
# a terminal: lurn_bench colours nothing else.
#
# With --web: the web build's benches in headless Chromium (bench/web/run.js),
# idle, then three times beside two busy loops.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
if [ "${1:-}" = --web ]; then
  export NODE_PATH=/usr/share/nodejs # Emscripten's own modules
  cmake --preset web >/dev/null
  cmake --build --preset web --target web_bench demo
  cmake --preset web -B build/web-simd -DLURN_WEB_SIMD=ON >/dev/null
  cmake --build build/web-simd --target web_bench demo
  node bench/web/run.js build/web/bin build/web-simd/bin
  for _ in 1 2 3; do
    node bench/web/run.js build/web/bin build/web-simd/bin --load
  done
  exit 0
fi
busy=()
stop_busy() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true
  busy=()
}
trap 'stop_busy; stop_wine; stop_xvfb' EXIT

check=
load=2
only_frames=
args=()
while [ $# -gt 0 ]; do
  case $1 in
  --check) check=--check ;;
  --frames) only_frames=1 ;;
  --load)
    load=${2:?--load wants a count of busy loops}
    shift
    ;;
  *) args+=("$1") ;;
  esac
  shift
done

bash scripts/setup.sh
status=0
if [ -z "$only_frames" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target lurn_bench kernel_time
  bench=build/native/bin/lurn_bench

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
  cmake --build --preset win32 --target wine_present_bench wine_frame_bench
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
else
  cmake --preset win32 -DBUILD_TESTING=ON >/dev/null
  cmake --build --preset win32 --target wine_frame_bench
fi

# A game's frame loop, each route for some seconds in a process of its own:
# all idle, then all beside the busy loops, on one X screen and prefix.
start_xvfb 1600x1000x24
start_wine
# One server for all runs, kept up between them.
wineserver -w
wineserver -p5 || true
frames() { # ROUTE: "fps F cpu C"
  LURN_ERROR_BOX=0 timeout 120 wine build/win32/bin/wine_frame_bench.exe \
    "$1" 6 | tr -d '\r' | sed -n "s/^$1 //p"
}
routes=(plain-gdi windowed fullscreen)
declare -A figures
for phase in idle loaded; do
  if [ $phase = loaded ]; then
    for _ in $(seq 1 "$load"); do
      (while :; do :; done) &
      busy+=($!)
    done
  fi
  for route in "${routes[@]}"; do
    figures[$phase-$route]=$(frames "$route")
    figures[$phase-$route-load]=$(cut -d ' ' -f 1-3 /proc/loadavg)
  done
  stop_busy
done
stop_wine
stop_xvfb
printf '\n== a frame loop under Wine on Xvfb 1600x1000x24, idle and beside %s busy loops\n' "$load"
report=$(
  for route in "${routes[@]}"; do
    echo "$route ${figures[idle-$route]} ${figures[loaded-$route]}" \
      "${figures[idle-$route-load]} ${figures[loaded-$route-load]}"
  done | awk -v check="$check" '
    { fps[$1] = $3; cpu[$1] = $5; loadedFps[$1] = $7; loadedCpu[$1] = $9
      when[$1] = $10 " " $11 " " $12 " / " $13 " " $14 " " $15 }
    END {
      name["plain-gdi"] = "plain GDI program, 1280x960"
      name["windowed"] = "DLL windowed 640x480 in 1280x960"
      name["fullscreen"] = "DLL full screen 640x480, paced"
      printf "  %-34s %9s %9s %6s %8s %8s   %s\n", "", "idle fps", \
        "loaded", "kept", "cpu idle", "loaded", "load average idle / loaded"
      n = split("plain-gdi windowed fullscreen", order, " ")
      for (i = 1; i <= n; ++i) {
        r = order[i]
        kept[r] = fps[r] > 0 ? loadedFps[r] / fps[r] : 0
        printf "  %-34s %9.1f %9.1f %5.0f%% %7.0f%% %7.0f%%   %s\n", name[r], \
          fps[r], loadedFps[r], 100 * kept[r], cpu[r], loadedCpu[r], when[r]
      }
      missed = 0
      missed += judge("windowed share kept / plain GDI share kept", \
        kept["plain-gdi"] > 0 ? kept["windowed"] / kept["plain-gdi"] : 0, \
        0.8, 1e9)
      missed += judge("full screen paced, loaded fps", \
        loadedFps["fullscreen"], 55, 63)
      missed += judge("full screen paced, idle cpu % of a core", \
        cpu["fullscreen"], 0, 25)
      missed += judge("windowed idle fps / plain GDI idle fps", \
        fps["plain-gdi"] > 0 ? fps["windowed"] / fps["plain-gdi"] : 0, \
        1 / 3, 1e9)
      exit missed > 0
    }
    function judge(what, value, low, high) {
      bad = (value < low) || (value > high)
      range = high >= 1e9 ? sprintf("at least %.2f", low) : \
        sprintf("%g to %g", low, high)
      printf "  %-44s %7.2f (%s)%s\n", what, value, range, \
        (check != "" && bad ? ": MISSED" : "")
      return check != "" && bad
    }'
) || status=1
echo "$report"
printf 'load average: %s\n' "$(cut -d ' ' -f 1-3 /proc/loadavg)"
exit $status
