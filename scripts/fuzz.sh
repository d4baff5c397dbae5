#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 60),
# starting from the committed seed corpus. Extra arguments go to every fuzzer
# (e.g. -runs=1000000 for a long campaign). Fails on the first crash.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="$root/build/fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEBRISK_FUZZ=ON >/dev/null
if ! cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1; then tail -n 40 "$build/build.log"; exit 1; fi
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
  name="$(basename "$fuzzer" _fuzz)"
  corpus="$(mktemp -d)"
  cp "$root/tests/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  log="$corpus.log"
  set +e
  (cd "$corpus" && "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$@" "$corpus") >"$log" 2>&1
  status=$?
  set -e
  runs="$(grep -oE "stat::number_of_executed_units: *[0-9]+" "$log" | grep -oE "[0-9]+$" || echo 0)"
  echo "-- $name: ${runs} executions, exit status $status"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    exit 1
  fi
  rm -rf "$corpus" "$log"
done
