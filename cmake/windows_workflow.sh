#!/bin/sh
# Builds one Windows preset (mingw32 or mingw64) with the cross compilers and runs its tests
# under wine. Without the tools it reports the test as skipped (exit 77), unless CI=true
# makes that a failure.
#   windows_workflow.sh CMAKE PRESET      (run in the source folder)
set -u
cmake=$1
preset=$2
case "$preset" in
  mingw32) triple=i686-w64-mingw32 ;;
  mingw64) triple=x86_64-w64-mingw32 ;;
  *) echo "unknown preset $preset" >&2; exit 2 ;;
esac

has() { command -v "$1" >/dev/null 2>&1; }
missing=""
has "$triple-g++-posix" || has "$triple-g++" || missing="$missing $triple-g++"
has "$triple-windres" || missing="$missing $triple-windres"
has wine || missing="$missing wine"
if [ -n "$missing" ]; then
  if [ "${CI:-}" = true ]; then
    echo "$preset: missing$missing (required under CI=true)" >&2
    exit 1
  fi
  echo "$preset: skipped, missing$missing"
  exit 77
fi
# wine is installed, but its 32-bit loader is not executable (126) where the kernel runs no
# 32-bit programs; nothing can be installed to change that, so the 32-bit DLL is only built.
status=0
wine --version >/dev/null 2>&1 || status=$?
if [ "$preset" = mingw32 ] && [ "$status" -eq 126 ]; then
  "$cmake" --preset "$preset" && "$cmake" --build --preset "$preset" || exit 1
  echo "$preset: built; tests skipped, this machine cannot run 32-bit programs"
  exit 77
fi
exec "$cmake" --workflow --preset "$preset"
