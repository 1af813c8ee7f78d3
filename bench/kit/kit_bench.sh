#!/usr/bin/env bash
# lamvis2-kit's figures (printed, not judged): `run` on 1,000 answer files against `xargs -P`
# running lamvis2 on the same files, `study` of 1,000 grid points against `xargs -P` on the
# 1,000 filled templates, in one run side by side; the same study with `-q Ex` (the inputs
# paired, from the read trace) against `-q nuxy` (none needed); a study of 100,000 points,
# its time and peak memory (RSS) beside `xargs -P` of bare runs of the 100,000 filled
# templates (KIT_BENCH_LARGE=0 leaves it out); and the processor time of `read` and
# `compare` of the largest results file (10 material sets, 20 plies, 17 relaxation rows).
# Builds what it needs in BUILD_DIR (lamvis2, lamvis2-kit, kit_reader_bench) when missing.
#   bench/kit/kit_bench.sh BUILD_DIR [JOBS]
set -euo pipefail
build=$(cd "${1:?usage: kit_bench.sh BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
kit=$build/lamvis2-kit
program=$build/lamvis2
for target in lamvis2 lamvis2-kit kit_reader_bench; do
  if [ ! -x "$build/$target" ]; then
    echo "building $target in $build"
    cmake --build "$build" -j "$jobs" --target "$target" >/dev/null || {
      echo "kit_bench.sh: $build cannot build $target (configure it with the kit: cmake -S . -B $build)" >&2
      exit 2
    }
  fi
done
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

# -q Ex needs the inputs (the thickness): paired from the run's own read trace, no more runs.
t0=$(seconds)
"$kit" study -j "$jobs" "$tmp/template.txt" --vary ANGLE=0:90:10 --vary TIME=1:100:1 -q nuxy >/dev/null
t1=$(seconds)
"$kit" study -j "$jobs" "$tmp/template.txt" --vary ANGLE=0:90:10 --vary TIME=1:100:1 -q Ex >/dev/null
t2=$(seconds)
n=$(elapsed "$t0" "$t1")
e=$(elapsed "$t1" "$t2")
printf 'study of 1000 points:        -q nuxy %6.2f s   -q Ex %6.2f s   ratio %.3f\n' \
  "$n" "$e" "$(echo "$e / $n" | bc -l)"

# 100,000 points: a ply angle (100 values) by a relaxation time (1,000 values).
if [ "${KIT_BENCH_LARGE:-1}" != 0 ]; then
  rm -rf "$tmp/fxargs" "$tmp/filled"
  mkdir -p "$tmp/big" "$tmp/bigout"
  awk -v dir="$tmp/big" 'NR == FNR { line[FNR] = $0; n = FNR; next }
    END { for (a = 0; a < 100; a++) for (t = 1; t <= 1000; t++) {
            f = dir "/p-" a "-" t ".txt"
            for (i = 1; i <= n; i++) { l = line[i]; sub(/\{ANGLE\}/, a, l); sub(/\{TIME\}/, t, l); print l > f }
            close(f) } }' "$tmp/template.txt" /dev/null
  find "$tmp/big" -name '*.txt' >"$tmp/blist"
  rss() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
  t0=$(seconds)
  /usr/bin/time -v -o "$tmp/xtime" xargs -P "$jobs" -n 1 sh -c 'exec "$0" < "$1" > "$2/${1##*/}.out"' \
    "$program" "$tmp/bigout" <"$tmp/blist" >/dev/null 2>&1 || true
  t1=$(seconds)
  rm -rf "$tmp/big" "$tmp/bigout"
  /usr/bin/time -v -o "$tmp/ktime" "$kit" study -j "$jobs" "$tmp/template.txt" --vary ANGLE=0:99:1 \
    --vary TIME=1:1000:1 -q Ex -q 'relaxation[last].kappa-xx' -o "$tmp/big.csv"
  t2=$(seconds)
  x=$(elapsed "$t0" "$t1")
  k=$(elapsed "$t1" "$t2")
  printf 'study of 100000 points:      xargs -P %s %7.1f s (peak RSS of xargs %s KB)   lamvis2-kit study %7.1f s (peak RSS %s KB)   ratio %.3f (%d rows)\n' \
    "$jobs" "$x" "$(rss "$tmp/xtime")" "$k" "$(rss "$tmp/ktime")" "$(echo "$k / $x" | bc -l)" \
    "$(($(wc -l <"$tmp/big.csv") - 1))"
fi

"$program" <"$root/bench/process/largest_dialogue.txt" >"$tmp/largest.out" || true
"$build/kit_reader_bench" "$tmp/largest.out" 2000
