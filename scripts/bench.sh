#!/usr/bin/env bash
# Runs the benchmarks on the stand-in, headless, and checks their targets.
# Arguments go to Google Benchmark (--benchmark_filter=..., ...).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lurn_bench
SDL_VIDEODRIVER=offscreen DISPLAY= LURN_STANDIN_VSYNC=0 build/native/bin/lurn_bench --check "$@"
# Full-screen flip pacing needs a display: a private Xvfb.
bash bench/pacing.sh
