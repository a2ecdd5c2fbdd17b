#!/usr/bin/env bash
# Runs the benchmarks on the stand-in, headless, and checks their targets.
# Arguments go to Google Benchmark (--benchmark_filter=..., ...).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lurn_bench
# Colour codes only for a terminal: a log or a pipe gets plain text (the
# benchmark's reporter colours its lines whatever it is told).
bench() {
  SDL_VIDEODRIVER=offscreen DISPLAY= build/native/bin/lurn_bench --check "$@"
}
if [ -t 1 ]; then
  bench "$@"
else
  bench --benchmark_color=false "$@" | sed 's/\x1b\[[0-9;]*m//g'
fi
