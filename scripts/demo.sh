#!/usr/bin/env bash
# Runs the demo: natively over SDL2, or with --wine the Windows DLL's demo
# under Wine. Without a display it runs on a private Xvfb for a few seconds
# and saves a screenshot. Other arguments go to the demo (--fullscreen,
# --frames N).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
trap 'stop_wine; stop_xvfb' EXIT

wine_demo=0
args=()
for arg in "$@"; do
  if [ "$arg" = "--wine" ]; then wine_demo=1; else args+=("$arg"); fi
done

bash scripts/setup.sh
if [ "$wine_demo" = 1 ]; then
  cmake --preset win32 >/dev/null && cmake --build --preset win32 --target demo
else
  cmake --preset native >/dev/null && cmake --build --preset native --target demo
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  start_xvfb 1024x768x16
  args+=(--seconds 4)
fi

output=$(mktemp)
if [ "$wine_demo" = 1 ]; then
  start_wine
  wine build/win32/bin/demo.exe "${args[@]}" >"$output" 2>&1 &
else
  SDL_VIDEODRIVER=x11 build/native/bin/demo "${args[@]}" >"$output" 2>&1 &
fi
demo=$!
tail -f "$output" --pid "$demo" &

if [ "$headless" = 1 ]; then
  # Photographed once the demo has shown its first frame rate.
  for _ in $(seq 1 300); do
    grep -q 'frames per second' "$output" && break
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.1
  done
  shot=$PWD/build/demo-screenshot.png
  import -window root "$shot" && echo "screenshot saved to $shot"
fi
status=0
wait "$demo" || status=$?
sleep 0.2
rm -f "$output"
exit "$status"
