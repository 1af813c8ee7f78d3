#!/usr/bin/env bash
# lamvis2-kit's figures (printed, not judged): `run` on 1,000 answer files against `xargs -P`
# running lamvis2 on the same files, `study` of 1,000 grid points against `xargs -P` on the
# 1,000 filled templates, in one run side by side; and the processor time of `read` and
# `compare` of the largest results file (10 material sets, 20 plies, 17 relaxation rows).
#   bench/kit/kit_bench.sh BUILD_DIR [JOBS]
set -euo pipefail
build=$(cd "${1:?usage: kit_bench.sh BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
kit=$build/lamvis2-kit
program=$build/lamvis2
tmp=$(mktemp -d /tmp/kit-bench.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

# 1,000 answer files: the examples with their relaxation time varied.
mkdir -p "$tmp/answers"
n=0
for i in $(seq 1 334); do
  for f in "$root"/examples/*.txt; do
    [ $n -lt 1000 ] || break 2
    n=$((n + 1))
    awk -v t="$i" 'NR == FNR { last = FNR; next } FNR == last { print t; next } { print }' \
      "$f" "$f" >"$tmp/answers/a$n.txt"
  done
done
ls "$tmp"/answers/*.txt >"$tmp/list"

echo "lamvis2-kit benchmark, $jobs runs at a time"
t0=$(seconds)
mkdir -p "$tmp/xargs"
xargs -P "$jobs" -I{} sh -c 'exec "$0" < "$1" > "$2/${1##*/}.out"' "$program" {} "$tmp/xargs" <"$tmp/list" || true
t1=$(seconds)
"$kit" run -j "$jobs" --out "$tmp/kit" $(cat "$tmp/list") >/dev/null || true
t2=$(seconds)
x=$(elapsed "$t0" "$t1")
k=$(elapsed "$t1" "$t2")
printf 'run of 1000 answer files:    xargs -P %s %6.2f s   lamvis2-kit run %6.2f s   ratio %.3f\n' \
  "$jobs" "$x" "$k" "$(echo "$k / $x" | bc -l)"

# A study of 1,000 points: a ply angle (10 values) by a relaxation time (100 values).
sed -e 's/^90$/{ANGLE}/' -e '$ s/.*/{TIME}/' "$root/examples/glass_cross_ply.txt" >"$tmp/template.txt"
mkdir -p "$tmp/filled"
for a in $(seq 0 10 90); do
  for t in $(seq 1 100); do
    sed -e "s/{ANGLE}/$a/" -e "s/{TIME}/$t/" "$tmp/template.txt" >"$tmp/filled/p-$a-$t.txt"
  done
done
ls "$tmp"/filled/*.txt >"$tmp/flist"
t0=$(seconds)
mkdir -p "$tmp/fxargs"
xargs -P "$jobs" -I{} sh -c 'exec "$0" < "$1" > "$2/${1##*/}.out"' "$program" {} "$tmp/fxargs" <"$tmp/flist" || true
t1=$(seconds)
"$kit" study -j "$jobs" "$tmp/template.txt" --vary ANGLE=0:90:10 --vary TIME=1:100:1 \
  -q 'relaxation[last].kappa-xx' -q ply[2].sigma-1 >"$tmp/study.csv"
t2=$(seconds)
x=$(elapsed "$t0" "$t1")
k=$(elapsed "$t1" "$t2")
printf 'study of 1000 grid points:   xargs -P %s %6.2f s   lamvis2-kit study %4.2f s   ratio %.3f (%d rows)\n' \
  "$jobs" "$x" "$k" "$(echo "$k / $x" | bc -l)" "$(($(wc -l <"$tmp/study.csv") - 1))"

"$program" <"$root/bench/process/largest_dialogue.txt" >"$tmp/largest.out" || true
"$build/kit_reader_bench" "$tmp/largest.out" 2000
