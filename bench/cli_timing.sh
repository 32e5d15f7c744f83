#!/bin/sh
# Times the pagefields command line against eighteen plugin requests per page on a site
# written by bench/cli_site.py. Every command runs once to warm the page cache, then the
# three run by turns ROUNDS times (default 3), so that other work on the machine falls on
# all of them alike. Prints the elapsed seconds of each round and their median, and the load
# before the first and after the last round. With a second build folder, its command line
# runs by turns too, so that a change can be timed against the code before it.
#   bench/cli_timing.sh BUILD_DIR SITE [ROUNDS [BEFORE_BUILD_DIR]]
set -eu
build=$1
site=$2
rounds=${3:-3}
before=${4:-}
commands="host cli1 cli2${before:+ before1 before2}"
list=$(mktemp)
times=$(mktemp)
trap 'rm -f "$list" "$times"' EXIT
find "$site" -type f -name '*.html' | LC_ALL=C sort > "$list"

host() { xargs "$build/host/pagefields-host" "$build/plugin/libpagefields.so" < "$list"; }
cli1() { "$build/cli/pagefields" --quiet -j 1 "$site"; }
cli2() { "$build/cli/pagefields" --quiet -j 2 "$site"; }
before1() { "$before/cli/pagefields" --quiet -j 1 "$site"; }
before2() { "$before/cli/pagefields" --quiet -j 2 "$site"; }

seconds() {
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk "BEGIN { printf \"%.3f\", $end - $start }"
}

for command in $commands; do "$command" > /dev/null 2>&1; done
echo "$(wc -l < "$list") pages, $(du -sh "$site" | cut -f1); $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$rounds" ]; do
  for command in $commands; do echo "$command $(seconds "$command")" >> "$times"; done
  i=$((i + 1))
done

report() {
  grep "^$1 " "$times" | cut -d' ' -f2 | tr '\n' ' '
  printf '(median %s)\n' "$(grep "^$1 " "$times" | cut -d' ' -f2 | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
}
echo "18 plugin requests per page (pagefields-host): $(report host)"
echo "pagefields -j 1: $(report cli1)"
echo "pagefields -j 2: $(report cli2)"
if [ -n "$before" ]; then
  echo "before: pagefields -j 1: $(report before1)"
  echo "before: pagefields -j 2: $(report before2)"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
