#!/usr/bin/env bash
# Fuzzes the call sequences with libFuzzer, AddressSanitizer and UBSan:
# scripts/fuzz.sh [SECONDS] (default 60). New inputs go to build/fuzz/corpus;
# tests/fuzz/corpus holds the seeds kept in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus build/fuzz/findings
# The fuzzer's status is the script's: a finding fails it. (grep finding
# nothing to print is no failure.)
status=0
build/fuzz/bin/fuzz_calls -max_total_time="${1:-60}" -max_len=1024 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/findings/ \
  build/fuzz/corpus tests/fuzz/corpus 2>&1 |
  grep -Ev '^#[0-9]+\s+(NEW|REDUCE|pulse)' || status=${PIPESTATUS[0]}
exit "$status"
