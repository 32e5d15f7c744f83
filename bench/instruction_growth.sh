#!/bin/sh
# Instructions of every request (every field, MaxLen 4096) on every hostile input of 1 and
# 8 MiB, counted by callgrind, and how much each grows from 1 to 8 MiB. Unlike wall time,
# the counts do not depend on the page cache or on what else the machine runs; a linear
# cost grows about 8 times.
#
#   bench/instruction_growth.sh BUILD_DIR [PLUGIN]
#
# Needs valgrind. Prints a Markdown table; the counts of every request go to
# BUILD_DIR/instruction-counts.tsv (family, size, field, instructions).
set -eu
build=${1:?usage: instruction_growth.sh BUILD_DIR [PLUGIN]}
driver=$build/bench/pagefields_instruction_counts
[ -x "$driver" ] || { echo "no $driver (build with valgrind installed)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$work/out.%p" \
  "$driver" ${2:+"$2"} > "$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
# Each dump names its request in "desc: Trigger: Client Request: FAMILY|SIZE|FIELD".
for dump in "$work"/out.*.*; do
  awk '/^desc: Trigger: Client Request: / { sub(/^desc: Trigger: Client Request: /, ""); label = $0 }
       /^summary: / { split(label, part, "|"); print part[1] "\t" part[2] "\t" part[3] "\t" $2 }' "$dump"
done | sort > "$build/instruction-counts.tsv"
awk -F '\t' '
  $2 == "1M" { one[$1 "\t" $3] = $4 }
  $2 == "8M" { eight[$1 "\t" $3] = $4 }
  END {
    print "| Family | field that grows most | instructions 1 MiB | 8 MiB | growth |"
    print "|---|---|---|---|---|"
    for (key in eight) {
      if (!(key in one) || one[key] == 0) continue
      split(key, k, "\t")
      growth = eight[key] / one[key]
      if (growth > worst[k[1]]) { worst[k[1]] = growth; field[k[1]] = k[2]; a[k[1]] = one[key]; b[k[1]] = eight[key] }
      if (growth > most) { most = growth; most_at = k[1] ", " k[2] }
    }
    for (family in worst) printf "| %s | %s | %d | %d | %.2f |\n", family, field[family], a[family], b[family], worst[family] | "sort"
    close("sort")
    printf "\nLargest growth from 1 to 8 MiB: %.2f (%s).\n", most, most_at
  }' "$build/instruction-counts.tsv"
