#!/bin/sh
# Builds one Windows preset (mingw32 or mingw64) with the cross compilers and runs its tests
# under wine, and says which wine it used. Without the tools it reports the test as skipped
# (exit 77), unless CI=true makes that a failure.
#   windows_workflow.sh CMAKE CTEST PRESET      (run in the source folder)
#
# The 32-bit tests use this machine's wine32 where it is installed, and otherwise wine in an
# i386 Debian root made once with debootstrap (cmake/wine32_root.sh), kept at
# $PAGEFIELDS_WINE32_ROOT (default /var/cache/pagefields/wine32-bookworm-i386). Only a kernel
# that runs no 32-bit programs skips them, also under CI=true, since no package changes that.
set -u
cmake=$1
ctest=$2
preset=$3
here=$(cd "$(dirname "$0")" && pwd)
case "$preset" in
  mingw32) triple=i686-w64-mingw32 ;;
  mingw64) triple=x86_64-w64-mingw32 ;;
  *) echo "unknown preset $preset" >&2; exit 2 ;;
esac

has() { command -v "$1" >/dev/null 2>&1; }

give_up() {  # give_up REASON: a failure under CI=true, a skip otherwise
  if [ "${CI:-}" = true ]; then
    echo "$preset: $1 (required under CI=true)" >&2
    exit 1
  fi
  echo "$preset: skipped, $1"
  exit 77
}

# A static 32-bit program that only exits: whether this kernel runs 32-bit programs at all.
runs_32bit_programs() {
  scratch=$(mktemp -d)
  printf '.globl _start\n_start:\n  movl $1, %%eax\n  xorl %%ebx, %%ebx\n  int $0x80\n' \
    >"$scratch/exit.s"
  as --32 -o "$scratch/exit.o" "$scratch/exit.s" && ld -m elf_i386 -o "$scratch/exit" \
    "$scratch/exit.o" && "$scratch/exit" 2>/dev/null
  status=$?
  rm -rf "$scratch"
  return $status
}

missing=""
has "$triple-g++-posix" || has "$triple-g++" || missing="$missing $triple-g++"
has "$triple-windres" || missing="$missing $triple-windres"
[ -z "$missing" ] || give_up "missing$missing"

wine32_root=""
if [ "$preset" = mingw64 ]; then
  has wine || give_up "missing wine"
  echo "$preset: wine: $(WINEDEBUG=-all wine --version) of this machine"
elif ! runs_32bit_programs; then
  "$cmake" --preset "$preset" && "$cmake" --build --preset "$preset" || exit 1
  echo "$preset: built; tests skipped: this kernel cannot run 32-bit programs"
  exit 77
elif [ -x /usr/lib/wine/wine ]; then
  echo "$preset: 32-bit wine: $(/usr/lib/wine/wine --version) of this machine (wine32:i386)"
else
  wine32_root=${PAGEFIELDS_WINE32_ROOT:-/var/cache/pagefields/wine32-bookworm-i386}
  if [ ! -x "$wine32_root/usr/lib/wine/wine" ]; then
    [ "$(id -u)" -eq 0 ] || has sudo || give_up "no wine32, and no root or sudo to make an i386 root for it"
    has debootstrap || give_up "no wine32, and no debootstrap to make an i386 root for it"
    sh "$here/wine32_root.sh" make "$wine32_root" || exit 1
  fi
  version=$(sh "$here/wine32_root.sh" run "$wine32_root" -- wine --version 2>/dev/null) ||
    { echo "$preset: wine does not start in the i386 root $wine32_root" >&2; exit 1; }
  echo "$preset: 32-bit wine: $version in the i386 root $wine32_root (no wine32 on this machine)"
fi

"$cmake" --preset "$preset" "-DPAGEFIELDS_WINE32_ROOT=$wine32_root" &&
  "$cmake" --build --preset "$preset" &&
  "$ctest" --preset "$preset"
