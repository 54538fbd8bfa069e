#!/usr/bin/env bash
# Builds the release preset and runs every benchmark inside the private
# network namespace (some of them send on loopback).
set -euo pipefail
if [ "${1:-}" = "--help" ]; then
  echo "usage: $0 [BENCHMARK-ARGS...]   runs every benchmark program"
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j "$(nproc)"
for b in build/native-release/benchmarks/*_bench; do
  echo "== $(basename "$b") =="
  scripts/isolated.sh "$b" "$@"
done
