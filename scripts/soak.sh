#!/usr/bin/env bash
# A long run of the random call sequences: scripts/soak.sh [SEEDS] [STEPS]
# (default 20000 seeds of 1000 steps, twenty million steps).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target unit_tests
LURN_SEEDS=${1:-20000} LURN_STEPS=${2:-1000} \
  build/native/bin/unit_tests --gtest_filter='RandomCalls.*'
