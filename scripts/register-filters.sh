#!/usr/bin/env bash
# Registers the runnable folder's decode filter library in the COM registry, as an installer would, so the
# program plays recordings with no further step. The registry is $VELOQ_COM_REGISTRY, else
# ~/.config/veloq/classes.ini. Usage: register-filters.sh <folder of regsvr> <runnable folder>
set -euo pipefail
bin=$1
dist=$2
library="$dist/libTessane.so"
if [ ! -f "$library" ] || [ ! -x "$bin/regsvr" ]; then
  echo "register: $library or $bin/regsvr is missing; recordings will not play." >&2
  exit 0
fi
"$bin/regsvr" -s "$library" || echo "register: $library could not be registered; recordings will not play." >&2
