#!/usr/bin/env bash
# The demo: the test box on 127.0.0.1 streaming the fixture, and Veloq beside it with every network
# destination on loopback. The box takes free ports unless VELOQ_*_PORT variables name them; its printed
# environment (VELOQ_NET=loopback and the port variables) is exported for Veloq. The box stops when Veloq
# exits. The runnable folder's decode filter library is registered first, so recordings made in the demo
# play back. Usage: demo.sh <folder of testbox and regsvr> <runnable folder>
set -euo pipefail
bin=$1
dist=$2
for program in "$bin/testbox" "$dist/Veloq"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first (make build)." >&2
    exit 1
  fi
done

"$(dirname "$0")/register-filters.sh" "$bin" "$dist"

flags=()
for pair in lan-search:VELOQ_LAN_SEARCH_PORT lan-control:VELOQ_LAN_CONTROL_PORT \
            lan-stream:VELOQ_LAN_STREAM_PORT direct-control:VELOQ_DIRECT_CONTROL_PORT \
            direct-stream:VELOQ_DIRECT_STREAM_PORT; do
  variable=${pair#*:}
  if [ -z "${!variable:-}" ]; then
    flags+=("--${pair%%:*}-port" 0)
  fi
done

# The box's output comes back through the coprocess pipe; it ends on SIGTERM (or when this script goes and
# its standard input, the other pipe, closes).
coproc BOX { exec "$bin/testbox" "${flags[@]}"; }
box_pid=$BOX_PID
box_out=${BOX[0]}
stop_box() {
  if kill -0 "$box_pid" 2>/dev/null; then
    kill -TERM "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
  fi
}
trap stop_box EXIT

environment=
while IFS= read -r line <&"$box_out"; do
  echo "testbox: $line"
  case $line in
    *VELOQ_NET=loopback*) environment=$line ;;
    "Log in by IP"*) break ;;
  esac
done
if [ -z "$environment" ]; then
  echo "demo: the test box did not start." >&2
  exit 1
fi
for assignment in $environment; do
  export "${assignment?}"
done

echo "demo: starting Veloq in $dist; log in by IP 127.0.0.1 with any user name and password."
status=0
(cd "$dist" && QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb} ./Veloq) || status=$?
stop_box
trap - EXIT
echo "demo: Veloq exited ($status); the test box has stopped."
exit "$status"
