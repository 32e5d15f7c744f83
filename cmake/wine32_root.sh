#!/bin/sh
# 32-bit wine in an i386 Debian 12 root, for machines whose own package lists cannot provide
# wine32:i386. The root is made once with debootstrap from the main suite (of the mirror
# $PAGEFIELDS_DEBIAN_MIRROR, by default Debian's own) and then reused.
#   wine32_root.sh make ROOT                   makes ROOT unless it is there
#   wine32_root.sh run ROOT DIR... -- COMMAND   runs COMMAND inside ROOT as the caller, each
#                                              DIR mounted at its own path, /proc and /dev too
# The mounts live in a mount namespace of their own, so they end with COMMAND. debootstrap,
# mount and chroot need root: a caller who is not root is served through sudo.
set -eu
action=$1
root=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
list="$here/../setup/debian-packages"

user=$(id -u):$(id -g)
if [ "$action" = as ]; then  # as UID:GID ACTION ...: how the sudo call below comes back
  user=$root
  action=$1
  root=$2
  shift 2
elif [ "$(id -u)" -ne 0 ]; then
  exec sudo -- sh "$here/wine32_root.sh" as "$user" "$action" "$root" "$@"
fi

make_root() {
  if [ -x "$root/usr/lib/wine/wine" ]; then
    return 0
  fi
  mkdir -p "$(dirname "$root")"
  # One maker at a time; the root is made beside its place and moved there only when whole.
  exec 9>"$root.lock"
  flock 9
  if [ -x "$root/usr/lib/wine/wine" ]; then
    return 0
  fi
  packages=$(awk '$1 == "wine32-root" { $1 = $2 = ""; print }' "$list" | xargs | tr ' ' ,)
  mirror=${PAGEFIELDS_DEBIAN_MIRROR:-http://deb.debian.org/debian}
  rm -rf "$root.new"
  started=$(date +%s)
  if ! debootstrap --arch=i386 --variant=minbase --include="$packages" bookworm "$root.new" \
    "$mirror" >"$root.log" 2>&1; then
    tail -n 20 "$root.log" >&2
    echo "debootstrap of the i386 root failed; the whole log is $root.log" >&2
    exit 1
  fi
  rm -rf "$root.new/var/cache/apt/archives"/*.deb
  rm -rf "$root"
  mv "$root.new" "$root"
  echo "made the i386 root $root in $(($(date +%s) - started)) s ($(du -sh "$root" | cut -f1))"
}

run_in_root() {
  # PATH inside is the root's own, so no wrapper outside it is ever started.
  exec unshare --mount --propagation private sh -c '
    set -eu
    user=$1
    root=$2
    shift 2
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
      mkdir -p "$root$1"
      mount --bind "$1" "$root$1"
      shift
    done
    [ "$#" -gt 1 ] || { echo "wine32_root.sh run: no -- COMMAND" >&2; exit 2; }
    shift
    # The command starts in the caller'"'"'s folder where the root sees it, as outside.
    exec chroot --userspec="$user" "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp \
      LANG=C.UTF-8 sh -c '"'"'cd "$0" 2>/dev/null || cd /; exec "$@"'"'"' "$PWD" "$@"
  ' wine32_root "$user" "$root" "$@"
}

case "$action" in
  make) make_root ;;
  run) run_in_root "$@" ;;
  *) echo "usage: wine32_root.sh make|run ROOT ..." >&2; exit 2 ;;
esac
