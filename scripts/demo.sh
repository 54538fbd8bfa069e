#!/usr/bin/env bash
# The link seen and steered from the other side, in one command: builds what
# is missing, then inside a private network namespace runs the emulated host
# with the native module and an aircraft flying a plan north of Seattle,
# watches it with orbitune-peer, sends a heading and altitude command partway
# and shows the aircraft turning and climbing. Stops by itself in about a
# minute with a short summary.
#
#   scripts/demo.sh            build (native release) and run the demo
#   scripts/demo.sh --help
set -euo pipefail

if [ "${1:-}" = "--help" ]; then
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${ORBITUNE_DEMO_INSIDE:-}" != "1" ]; then
  scripts/install-deps.sh
  echo "== building the module, orbitune-host and orbitune-peer (native release) =="
  cmake --preset native-release >/dev/null
  cmake --build --preset native-release -j "$(nproc)" \
    --target orbitune_module orbitune-host orbitune-peer
  # Everything below runs where loopback is the only interface.
  exec env ORBITUNE_DEMO_INSIDE=1 scripts/isolated.sh "$0" "$@"
fi

build=build/native-release
module=$build/gauge/liborbituneFS2004.so
host=$build/tools/host/orbitune-host
peer=$build/tools/peer/orbitune-peer
scenario=tools/demo/ksea_flight.json
rate=18           # gauge updates a second, as the simulator runs them
watch_seconds=45  # how long the peer watches
command_at=12     # seconds into the watch when the command goes out
updates=$(( (watch_seconds + 5) * rate ))

work=$(mktemp -d)
host_pid=
cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then kill "$host_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

bold=$(tput bold 2>/dev/null || true)
plain=$(tput sgr0 2>/dev/null || true)
say() { printf '\n%s== %s ==%s\n' "$bold" "$*" "$plain"; }

say "starting the emulated host: N172OT at 3000 ft on its flight plan KSEA - KPAE - KBVS - KBLI"
"$host" --module "$module" --scenario "$scenario" --rate "$rate" --updates "$updates" \
  --workdir "$work" --trace "$work/trace.jsonl" >"$work/host.log" 2>&1 &
host_pid=$!

say "orbitune-peer watch --request 127.0.0.1 (a line every 3 s)"
"$peer" watch --request 127.0.0.1 --plain --interval 3 --seconds "$watch_seconds" \
  | tee "$work/watch.log" &
watch_pid=$!

sleep "$command_at"
if ! kill -0 "$host_pid" 2>/dev/null; then
  echo "the emulated host stopped early:" >&2
  cat "$work/host.log" >&2
  exit 1
fi
say "orbitune-peer send 127.0.0.1 --heading 270 --altitude 5000 --alt-hold on --hdg-hold on --nav-hold off"
# --nav-hold off: while it follows the plan the autopilot would not turn to the heading bug.
"$peer" send 127.0.0.1 --heading 270 --altitude 5000 --alt-hold on --hdg-hold on \
  --nav-hold off --confirm 5 | tee "$work/send.log"

wait "$watch_pid"
wait "$host_pid" || true
host_pid=

say "summary"
grep -E '^Summary:' "$work/watch.log" | sed 's/^Summary: /received: /'
grep -E '^command round trip:' "$work/send.log" || echo "command round trip: not reported back"
first=$(grep -m1 -E '^\[' "$work/watch.log" || true)
last=$(grep -E '^Last position:' "$work/watch.log" | sed 's/^Last position: //')
echo "before the command: ${first#*] }"
echo "at the end:         $last"
