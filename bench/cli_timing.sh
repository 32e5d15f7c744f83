#!/bin/sh
# Times the pagefields command line against eighteen plugin requests per page on a site
# written by bench/cli_site.py. Every command runs once to warm the page cache, then
# ROUNDS times (default 3); the elapsed seconds of each round are printed.
#   bench/cli_timing.sh BUILD_DIR SITE [ROUNDS]
set -eu
build=$1
site=$2
rounds=${3:-3}
list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$site" -type f -name '*.html' | LC_ALL=C sort > "$list"

timed() {
  label=$1
  shift
  "$@" > /dev/null 2>&1
  times=""
  i=0
  while [ "$i" -lt "$rounds" ]; do
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s.%N)
    times="$times $(awk "BEGIN { printf \"%.2f\", $end - $start }")"
    i=$((i + 1))
  done
  echo "$label:$times"
}

echo "$(wc -l < "$list") pages, $(du -sh "$site" | cut -f1); $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
timed "18 plugin requests per page (pagefields-host)" \
  sh -c "xargs '$build/host/pagefields-host' '$build/plugin/libpagefields.so' < '$list'"
timed "pagefields -j 1" "$build/cli/pagefields" --quiet -j 1 "$site"
timed "pagefields -j 2" "$build/cli/pagefields" --quiet -j 2 "$site"
