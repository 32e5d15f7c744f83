#!/bin/sh
# Runs a Windows program under wine in a prefix of the build tree, without debug output or
# install prompts. The first call creates the prefix; a lock keeps parallel first calls from
# creating it twice.
#   wine_run.sh PREFIX PROGRAM [ARGUMENT...]
set -eu
WINEPREFIX=$1
shift
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c \
    'test -f "$WINEPREFIX/system.reg" || { wineboot -i && wineserver -w; } >"$WINEPREFIX.log" 2>&1'
fi
exec wine "$@"
