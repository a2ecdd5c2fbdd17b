#!/usr/bin/env bash
# Runs the platform probe on Wine's DirectDraw and DirectInput (Xvfb, 16-bit
# screen, a 1024x768 virtual desktop) and on the stand-in, and fails on any answer that differs.
#   compare.sh WIN32_BUILD NATIVE_BUILD
set -u
win32=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
cd "$(dirname "$0")/../.."
source scripts/lib.sh
trap 'stop_wine; stop_xvfb' EXIT

SDL_VIDEODRIVER=offscreen DISPLAY= "$native/bin/platform_probe" \
  >"$native/probe-standin.txt" 2>&1
start_xvfb 1024x768x16 || exit 1
start_wine
# Full-screen modes need Wine's virtual desktop (the stand-in's desktop is
# 1024x768 headless); a program started in it writes its answers to a file.
answers=$win32/probe-wine-raw.txt
rm -f "$answers"
timeout -s KILL 180 wine explorer /desktop=lurn-probe,1024x768 \
  "$win32/bin/platform_probe.exe" "$(winepath -w "$answers")" 2>/dev/null
tr -d '\r' <"$answers" >"$win32/probe-wine.txt" 2>/dev/null
if [ ! -s "$win32/probe-wine.txt" ]; then
  echo "the probe printed nothing under Wine"
  exit 1
fi
if ! diff -u "$win32/probe-wine.txt" "$native/probe-standin.txt" \
  --label Wine --label stand-in; then
  echo "the stand-in answers differently from Wine (above)"
  exit 1
fi
echo "the stand-in gives Wine's answer to all $(wc -l <"$win32/probe-wine.txt") questions"
