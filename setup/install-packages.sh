#!/bin/sh
# Installs groups of the Debian packages listed in setup/debian-packages:
#   setup/install-packages.sh GROUP...      (for example: build cli)
# Run as root, or as a user who may use sudo. Groups already installed are left alone. A
# required group that cannot be installed stops the script with apt's reason; an optional one
# is reported with its reason and the script goes on.
set -eu
list="$(dirname "$0")/debian-packages"
export DEBIAN_FRONTEND=noninteractive

if [ "$#" -eq 0 ]; then
  echo "usage: $0 GROUP..." >&2
  awk '!/^#/ && NF >= 3 && $2 != "root" { print "  " $1 " (" $2 ")" }' "$list" >&2
  exit 2
fi

as_root=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "$0: installing packages needs root; run it as root or install sudo" >&2
    exit 1
  fi
  as_root=sudo
fi

field() {  # field GROUP COLUMN: the need (2) or the packages (3) of a group
  awk -v group="$1" -v column="$2" '
    !/^#/ && $1 == group { if (column == 2) print $2; else { $1 = $2 = ""; print } found = 1 }
    END { exit !found }' "$list"
}

installed() {  # installed PACKAGE...: true when every one is installed
  for package in "$@"; do
    dpkg-query -W -f '${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
      return 1
  done
}

# A mirror in the middle of a sync fails a list now and then. The lists that did arrive are
# used, and a package that really cannot be had fails its install below, with the reason.
updated=""
update_lists() {
  [ -z "$updated" ] || return 0
  updated=yes
  for attempt in 1 2; do
    if $as_root apt-get update -qq; then return 0; fi
    echo "apt-get update: some package lists failed (attempt $attempt of 2)" >&2
    [ "$attempt" -eq 2 ] || sleep 5
  done
  echo "apt-get update: going on with the lists that arrived" >&2
}

# Installs the packages; on failure prints apt's whole answer, which says why.
apt_install() {
  log=$(mktemp)
  if $as_root apt-get install -y -q --no-install-recommends "$@" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  grep -v '^\(Reading\|Building\) ' "$log" >&2 || true
  rm -f "$log"
  return 1
}

install_group() {
  group=$1
  need=$(field "$group" 2) || { echo "$0: no group '$group' in $list" >&2; exit 2; }
  [ "$need" != root ] || { echo "$0: '$group' goes into a debootstrap root" >&2; exit 2; }
  # shellcheck disable=SC2046  # the packages are words
  set -- $(field "$group" 3)
  if installed "$@"; then
    echo "$group: installed already ($*)"
    return 0
  fi
  case "$*" in
    *:i386*) foreign=i386 ;;
    *) foreign="" ;;
  esac
  if [ -n "$foreign" ] && ! dpkg --print-foreign-architectures | grep -qx "$foreign"; then
    $as_root dpkg --add-architecture "$foreign"
    updated=""
  fi
  update_lists
  if apt_install "$@"; then
    echo "$group: installed ($*)"
    return 0
  fi
  if [ "$need" = optional ]; then
    echo "$group: not installed (optional; apt's reason above)" >&2
    # Leave no foreign architecture behind whose lists cannot be had.
    if [ -n "$foreign" ] && $as_root dpkg --remove-architecture "$foreign" 2>/dev/null; then
      updated=""
    fi
    return 0
  fi
  echo "$group: could not be installed (apt's reason above)" >&2
  exit 1
}

for group in "$@"; do
  install_group "$group"
done
