#!/usr/bin/env bash
# Runs the demo: natively over SDL2, or with --wine the Windows DLL's demo
# under Wine on the X screen as it is, whatever its depth: the DLL keeps the
# desktop (LURN_KEEP_DESKTOP=1), converting the 16-bit picture and showing
# full screen as a window covering the screen. Without a display it runs on
# a private Xvfb for a few seconds and saves a screenshot. Other arguments go
# to the demo (--fullscreen, --frames N, --seconds N).
#
# With --web it builds the demo page (the web preset), serves it on
# 127.0.0.1 at a free port, saves a screenshot taken in headless Chromium
# and prints the address to open; from a terminal it serves on until Ctrl+C.
#
# Every wait is bounded; an error box ends the run at once with its text,
# and the private X server and Wine prefix go away however the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

DEMO_PID=
OUTPUT=
cleanup() {
  # SDL turns SIGTERM into a quit event that a blocked error box never
  # reads: the demo is killed outright.
  [ -n "$DEMO_PID" ] && kill -KILL "$DEMO_PID" 2>/dev/null
  stop_wine
  stop_xvfb
  [ -n "$OUTPUT" ] && rm -f "$OUTPUT"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

wine_demo=0
web_demo=0
args=()
for arg in "$@"; do
  case $arg in
  --wine) wine_demo=1 ;;
  --web) web_demo=1 ;;
  *) args+=("$arg") ;;
  esac
done

bash scripts/setup.sh
if [ "$web_demo" = 1 ]; then
  export NODE_PATH=/usr/share/nodejs # emcc's own modules
  cmake --preset web >/dev/null && cmake --build --preset web --target demo
  shot=$PWD/build/demo-web-screenshot.png
  query=
  [ ${#args[@]} -gt 0 ] && query="?args=$(IFS=+; echo "${args[*]}")"
  keep=()
  [ -t 0 ] && keep=(--keep)
  exec node tests/web/screenshot.js build/web/bin "demo.html$query" "$shot" 3 \
    "${keep[@]}"
fi
if [ "$wine_demo" = 1 ]; then
  cmake --preset win32 >/dev/null && cmake --build --preset win32 --target demo
else
  cmake --preset native >/dev/null && cmake --build --preset native --target demo
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  start_xvfb 1024x768x24
  args+=(--seconds 4)
fi

OUTPUT=$(mktemp)
if [ "$wine_demo" = 1 ]; then
  start_wine
  export WINEDEBUG=-all,trace+msgbox # the box's text, should one appear
  LURN_KEEP_DESKTOP=${LURN_KEEP_DESKTOP:-1} wine build/win32/bin/demo.exe \
    "${args[@]}" >"$OUTPUT" 2>&1 &
else
  SDL_VIDEODRIVER=x11 build/native/bin/demo "${args[@]}" >"$OUTPUT" 2>&1 &
fi
DEMO_PID=$!
tail -f "$OUTPUT" --pid "$DEMO_PID" | grep --line-buffered -v -e fixme \
  -e MSGBOX_ &

running() { kill -0 "$DEMO_PID" 2>/dev/null; }
box_up() {
  grep -q -e '^lurn: ' -e 'MSGBOX_OnInit' "$OUTPUT" ||
    xwininfo -root -tree 2>/dev/null |
    grep -qF '"- DirectX Interface Error -"'
}
# An error box waits for a click that nobody gives a headless run: its
# text is said and the run ends.
fail_with_box() {
  sleep 0.5 # the diagnostic line comes just before the box
  local text
  text=$(grep -h '^lurn: ' "$OUTPUT" | tr -d '\r')
  [ -z "$text" ] && text=$(grep -o 'MSGBOX_OnInit L"[^"]*"' "$OUTPUT" |
    sed 's/.*L"//; s/"$//')
  echo "demo: an error box came up: ${text:-(its text was not seen)}" >&2
  exit 1
}

if [ "$headless" = 1 ]; then
  # Photographed once the demo has shown its first frame rate.
  for _ in $(seq 1 300); do
    box_up && fail_with_box
    grep -q 'frames per second' "$OUTPUT" && break
    running || break
    sleep 0.1
  done
  if running; then
    shot=$PWD/build/demo-screenshot.png
    import -window root "$shot" && echo "screenshot saved to $shot"
  fi
  # It stops by itself after a few seconds; a minute is the most it gets.
  for _ in $(seq 1 600); do
    running || break
    box_up && fail_with_box
    sleep 0.1
  done
  running && {
    echo "demo: still running after a minute; stopped" >&2
    exit 1
  }
else
  # On a display the demo runs until the user quits it; a box is theirs to
  # read and dismiss, and its line is said here too.
  while running; do
    if grep -q '^lurn: ' "$OUTPUT"; then
      grep -h '^lurn: ' "$OUTPUT" | tr -d '\r' >&2
      break
    fi
    sleep 0.2
  done
fi
status=0
wait "$DEMO_PID" || status=$?
DEMO_PID=
exit "$status"
