#!/usr/bin/env bash
# Starts the main program from its runnable folder, with the folder's decode filter library registered.
# Veloq needs an X11 display (docking, topmost and shaped windows); on a Wayland desktop XWayland provides
# it. Usage: run.sh <runnable folder> (the build's tools, regsvr among them, are in bin/ beside it)
set -euo pipefail
dist=$1
bin=$(dirname "$dist")/bin
if [ ! -x "$dist/Veloq" ]; then
  echo "run: the main program Veloq does not exist yet; nothing to start."
  echo "run: the runnable folder $dist holds:"
  ls -1p "$dist" 2>/dev/null | sed 's/^/  /' || true
  exit 0
fi
"$(dirname "$0")/register-filters.sh" "$bin" "$dist"
cd "$dist"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
exec ./Veloq "$@"
