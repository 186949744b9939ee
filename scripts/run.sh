#!/usr/bin/env bash
# Starts the main program from its runnable folder. Veloq needs an X11 display (docking, topmost and shaped
# windows); on a Wayland desktop XWayland provides it.
set -euo pipefail
dist=$1
if [ ! -x "$dist/Veloq" ]; then
  echo "run: the main program Veloq does not exist yet; nothing to start."
  echo "run: the runnable folder $dist holds:"
  ls -1p "$dist" 2>/dev/null | sed 's/^/  /' || true
  exit 0
fi
cd "$dist"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
exec ./Veloq "$@"
