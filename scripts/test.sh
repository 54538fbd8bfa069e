#!/usr/bin/env bash
# Builds everything (native, sanitizer and 32-bit Windows builds) and runs
# every test inside a private network namespace.
#
#   scripts/test.sh            all builds and all tests
#   scripts/test.sh --help
set -euo pipefail

if [ "${1:-}" = "--help" ]; then
  sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

scripts/install-deps.sh

step() { printf '\n== %s ==\n' "$*"; }

for preset in native-debug sanitize windows; do
  step "configure and build: $preset"
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "built $preset in $((SECONDS - start)) s"
done

step "tests"
start=$SECONDS
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# One namespace for all three runs; ctest prints each run's summary.
scripts/isolated.sh bash -c '
  set -e
  for preset in native-debug sanitize windows; do
    printf "\n-- %s --\n" "$preset"
    ctest --preset "$preset" -j "$0" --timeout 900
  done
' "$jobs" 2>&1 | tee "$log"
echo "tests ran in $((SECONDS - start)) s"

# One line for all three runs, from ctest's own summaries.
awk '/tests passed, [0-9]+ tests? failed out of/ {
       total += $NF; failed += $(NF-5)
     }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$log"
