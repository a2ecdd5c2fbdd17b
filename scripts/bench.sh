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
# under Wine (bench/wine_frame_bench.cpp): first the requests each call of
# its frame makes to Wine's server, then its rate idle once and beside N
# busy loops (--load N, 2 unless given) three times: a plain GDI program
# windowed and full screen with a 10 ms Sleep a frame, the DLL windowed
# unpaced and full screen paced, reading both devices each frame, full
# screen with and without the Sleep, with the share of a core each used;
# --check judges the DLL against the plain GDI program there too (the
# median of the three loaded runs); --frames runs only this study. Other
# arguments
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
  cmake --preset web -DLURN_WEB_SIMD=ON >/dev/null
  cmake --build --preset web --target web_bench demo
  cmake --preset web -B build/web-nosimd -DLURN_WEB_SIMD=OFF >/dev/null
  cmake --build build/web-nosimd --target web_bench demo
  node bench/web/run.js build/web/bin build/web-nosimd/bin
  for _ in 1 2 3; do
    node bench/web/run.js build/web/bin build/web-nosimd/bin --load
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

# What each call of a game's frame asks of Wine's server, counted from its
# +server log (deterministic): the reads alone, then with presses and
# strokes asked for too.
start_xvfb 1600x1000x24
start_wine
wineserver -w
printf '\n== requests to the Wine server a frame, by call (full screen, paced)\n'
for client in --devices --presses; do
  trace=$(mktemp)
  LURN_ERROR_BOX=0 WINEDEBUG=+server timeout 120 wine \
    build/win32/bin/wine_frame_bench.exe fullscreen 0 "$client" --trace 100 \
    >/dev/null 2>"$trace" || {
    echo "  the client exited with $? under the trace: no counts" >&2
    status=1
  }
  wineserver -w
  echo "client $client:"
  awk -f bench/round_trips.awk "$trace" | sed 's/^/  /'
  rm -f "$trace"
done

# A game's frame loop, each route for some seconds in a process of its own:
# all idle once, then beside the busy loops three times by turns, on one X
# screen and prefix. The game's client reads both devices each frame.
# One server for all runs, kept up between them.
wineserver -p5 || true
routes=(plain-gdi windowed fullscreen fullscreen-sleep fullscreen-sleep-unpaced
  plain-gdi-sleep)
declare -A bench_args=(
  [plain-gdi]="plain-gdi"
  [windowed]="windowed --devices"
  [fullscreen]="fullscreen --devices"
  [fullscreen-sleep]="fullscreen --devices --sleep 10"
  [fullscreen-sleep-unpaced]="LURN_VSYNC=0 fullscreen --devices --sleep 10"
  [plain-gdi-sleep]="plain-gdi --full --sleep 10"
)
frames() { # ROUTE: "fps F cpu C"
  # shellcheck disable=SC2086 # the arguments are words
  set -- ${bench_args[$1]}
  local settings=()
  while [[ $1 == *=* ]]; do
    settings+=("$1")
    shift
  done
  env LURN_ERROR_BOX=0 "${settings[@]}" timeout 120 \
    wine build/win32/bin/wine_frame_bench.exe "$1" 6 "${@:2}" |
    tr -d '\r' | sed -n "s/^$1 //p"
}
runs=$(mktemp)
for phase in idle loaded loaded loaded; do
  if [ $phase = loaded ] && [ ${#busy[@]} -eq 0 ]; then
    for _ in $(seq 1 "$load"); do
      (while :; do :; done) &
      busy+=($!)
    done
  fi
  for route in "${routes[@]}"; do
    figures=$(frames "$route")
    echo "$route $phase ${figures:-fps 0 cpu 0} $(cut -d ' ' -f 1 /proc/loadavg)" \
      >>"$runs"
  done
done
stop_busy
stop_wine
stop_xvfb
printf '\n== a frame loop under Wine on Xvfb 1600x1000x24, idle and beside %s busy loops (three runs)\n' "$load"
report=$(awk -v check="$check" '
    { r = $1
      if ($2 == "idle") { fps[r] = $4; cpu[r] = $6; idleLoad[r] = $7; next }
      n = ++runs[r]; loaded[r, n] = $4; loadedCpu[r, n] = $6
      loads[r] = loads[r] (n > 1 ? " " : "") $7 }
    END {
      name["plain-gdi"] = "plain GDI program, 1280x960"
      name["windowed"] = "DLL windowed 1280x960, reading devices"
      name["fullscreen"] = "DLL full screen paced, reading devices"
      name["fullscreen-sleep"] = "  the same, 10 ms Sleep a frame"
      name["fullscreen-sleep-unpaced"] = "  the same, unpaced (LURN_VSYNC=0)"
      name["plain-gdi-sleep"] = "plain GDI, full screen, 10 ms Sleep"
      printf "  %-40s %8s %19s %5s %5s %5s   %s\n", "", "idle fps", \
        "loaded: median, range", "kept", "cpu", "loaded", \
        "load average idle / loaded runs"
      n = split("plain-gdi windowed fullscreen fullscreen-sleep " \
        "fullscreen-sleep-unpaced plain-gdi-sleep", \
        order, " ")
      for (i = 1; i <= n; ++i) {
        r = order[i]
        med[r] = Median(loaded[r, 1], loaded[r, 2], loaded[r, 3])
        low = Least(loaded[r, 1], loaded[r, 2], loaded[r, 3])
        high = loaded[r, 1] + loaded[r, 2] + loaded[r, 3] - med[r] - low
        kept[r] = fps[r] > 0 ? med[r] / fps[r] : 0
        printf "  %-40s %8.1f %7.1f %5.1f-%-5.1f %4.0f%% %4.0f%% %5.0f%%   %s / %s\n", \
          name[r], fps[r], med[r], low, high, 100 * kept[r], cpu[r], \
          Median(loadedCpu[r, 1], loadedCpu[r, 2], loadedCpu[r, 3]), \
          idleLoad[r], loads[r]
      }
      missed = 0
      missed += judge("full screen, devices, 10 ms Sleep / plain GDI, loaded", \
        med["plain-gdi-sleep"] > 0 ? med["fullscreen-sleep"] / med["plain-gdi-sleep"] : 0, \
        0.9, 1e9)
      printf "  %-52s %6.2f (shown, not judged: neither paced)\n", \
        "  the same unpaced / plain GDI, loaded", \
        (med["plain-gdi-sleep"] > 0 ? med["fullscreen-sleep-unpaced"] / med["plain-gdi-sleep"] : 0)
      missed += judge("full screen paced, devices, loaded fps", \
        med["fullscreen"], 55, 63)
      missed += judge("windowed share kept / plain GDI share kept", \
        kept["plain-gdi"] > 0 ? kept["windowed"] / kept["plain-gdi"] : 0, \
        0.8, 1e9)
      missed += judge("full screen paced, idle fps", fps["fullscreen"], 59, 61)
      missed += judge("full screen paced, idle cpu % of a core", \
        cpu["fullscreen"], 0, 25)
      missed += judge("windowed idle fps / plain GDI idle fps", \
        fps["plain-gdi"] > 0 ? fps["windowed"] / fps["plain-gdi"] : 0, \
        1 / 3, 1e9)
      print "  (loaded figures judged by the median of three runs)"
      exit missed > 0
    }
    function Least(a, b, c) { return a < b ? (a < c ? a : c) : (b < c ? b : c) }
    function Median(a, b, c) {
      return a + b + c - Least(a, b, c) - (a > b ? (a > c ? a : c) : (b > c ? b : c))
    }
    function judge(what, value, low, high) {
      bad = (value < low) || (value > high)
      range = high >= 1e9 ? sprintf("at least %.2f", low) : \
        sprintf("%g to %g", low, high)
      printf "  %-52s %7.2f (%s)%s\n", what, value, range, \
        (check != "" && bad ? ": MISSED" : "")
      return check != "" && bad
    }' "$runs") || status=1
rm -f "$runs"
echo "$report"
printf 'load average: %s\n' "$(cut -d ' ' -f 1-3 /proc/loadavg)"
exit $status
