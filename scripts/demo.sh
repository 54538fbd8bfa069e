#!/usr/bin/env bash
# Builds the module for Linux and for 32-bit Windows and says where it is.
set -euo pipefail
if [ "${1:-}" = "--help" ]; then
  echo "usage: $0   builds the gauge module (native and orbituneFS2004.gau)"
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
for preset in native-release windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
echo
echo "Built:"
find build/native-release build/windows -maxdepth 3 \( -name 'orbituneFS2004.gau' -o -name 'liborbitune*.so' \) -print
