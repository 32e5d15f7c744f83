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
# wine names files on Linux in the locale's character set; in a UTF-8 one, every name a test
# makes with bytes above 127 (code page 1252 on the Windows side) can be made, whatever locale
# the caller runs in.
LC_ALL=C.UTF-8
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LC_ALL

# The wine command starts the 32-bit loader, which hands 64-bit programs on to the 64-bit
# one. Where the kernel runs no 32-bit programs, that start fails as not executable (126),
# and 64-bit programs still run through the 64-bit loader directly.
WINE_LOADER_PROGRAM=wine
status=0
wine --version >/dev/null 2>&1 || status=$?
if [ "$status" -eq 126 ] && [ -x /usr/lib/wine/wine64 ]; then
  WINE_LOADER_PROGRAM=/usr/lib/wine/wine64
  WINELOADER=$WINE_LOADER_PROGRAM
  export WINELOADER
fi
export WINE_LOADER_PROGRAM

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c '
    test -f "$WINEPREFIX/system.reg" ||
      { "$WINE_LOADER_PROGRAM" wineboot -i && wineserver -w; } >"$WINEPREFIX.log" 2>&1'
fi
exec "$WINE_LOADER_PROGRAM" "$@"
