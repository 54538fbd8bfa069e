#!/usr/bin/env bash
# Runs a command inside a private network namespace: loopback is the only
# interface, and multicast is routed to it. Whatever the command sends, to the
# protocol's port or its multicast group, cannot leave the machine.
#
#   scripts/isolated.sh COMMAND [ARGS...]
set -euo pipefail

if [ $# -eq 0 ] || [ "$1" = "--help" ]; then
  echo "usage: $0 COMMAND [ARGS...]  (runs COMMAND in a private network namespace)"
  exit 0
fi

if [ "${ORBITUNE_ISOLATED:-}" = "1" ]; then
  exec "$@"
fi

exec unshare --user --map-root-user --net -- bash -c '
  set -e
  ip link set lo up
  ip route add 224.0.0.0/4 dev lo
  export ORBITUNE_ISOLATED=1
  exec "$@"
' isolated "$@"
