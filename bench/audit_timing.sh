#!/bin/sh
# Times the audit options of the pagefields command line against its plain run, on a site
# written by bench/cli_site.py. Every command runs once to warm the page cache, then all run
# by turns ROUNDS times (default 5), so that other work on the machine falls on all of them
# alike. Prints the elapsed seconds of each round and their median.
#   bench/audit_timing.sh BUILD_DIR SITE [ROUNDS]
set -eu
build=$1
site=$2
rounds=${3:-5}
times=$(mktemp)
trap 'rm -f "$times"' EXIT

plain() { "$build/cli/pagefields" --quiet "$site"; }
links() { "$build/cli/pagefields" --quiet --broken-links "$site"; }
summary() { "$build/cli/pagefields" --quiet --summary "$site"; }
both() { "$build/cli/pagefields" --quiet --broken-links --summary "$site"; }

seconds() {
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk "BEGIN { printf \"%.3f\", $end - $start }"
}

commands="plain links summary both"
for command in $commands; do "$command" > /dev/null 2>&1; done
echo "$(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$rounds" ]; do
  for command in $commands; do echo "$command $(seconds "$command")" >> "$times"; done
  i=$((i + 1))
done

for command in $commands; do
  printf '%-8s %s' "$command" "$(grep "^$command " "$times" | cut -d' ' -f2 | tr '\n' ' ')"
  printf '(median %s)\n' "$(grep "^$command " "$times" | cut -d' ' -f2 | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
