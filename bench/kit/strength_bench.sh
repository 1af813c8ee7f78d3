#!/usr/bin/env bash
# Strength figures of lamvis2-kit (printed, not judged), on the 20-ply case with strengths
# (verification/strength/aerospatiale_C6_tsai_hill.toml):
# - the processor time of strength (6 criteria, 3 faces, 20 plies) after its run, in process;
# - an envelope of 72 points beside 72 bare runs of lamvis2 on the same answers, side by side
#   (xargs -P), JOBS at a time;
# - the runs that last-ply failure by ply discount takes, per criterion.
#   bench/kit/strength_bench.sh BUILD_DIR [JOBS]
set -euo pipefail
build=$(cd "${1:?usage: strength_bench.sh BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-$(nproc)}
root=$(cd "$(dirname "$0")/../.." && pwd)
kit=$build/lamvis2-kit
program=$build/lamvis2
case=$root/verification/strength/aerospatiale_C6_tsai_hill.toml
tmp=$(mktemp -d /tmp/strength-bench.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

"$kit" answers "$case" >"$tmp/answers.txt"
"$program" <"$tmp/answers.txt" >"$tmp/results.txt"
"$build/kit_strength_bench" "$case" "$tmp/results.txt"

# 72 bare runs: the case's answers with nx and ny of each direction (the others as given).
mkdir -p "$tmp/bare"
"$kit" envelope "$case" --plane nx,ny --points 72 -j "$jobs" >"$tmp/envelope.csv"
for i in $(seq 0 71); do
  awk -v i="$i" 'BEGIN { pi = atan2(0, -1) } { n++; lines[n] = $0 }
    END { for (k = 1; k <= n; k++) { if (k == n - 6) print 308.3 * cos(i * 5 * pi / 180);
          else if (k == n - 5) print 308.3 * sin(i * 5 * pi / 180); else print lines[k] } }' \
    "$tmp/answers.txt" >"$tmp/bare/d$i.txt"
done
ls "$tmp"/bare/*.txt >"$tmp/list"
t0=$(seconds)
xargs -P "$jobs" -I{} sh -c 'exec "$0" < "$1" > "$1.out"' "$program" {} <"$tmp/list"
t1=$(seconds)
"$kit" envelope "$case" --plane nx,ny --points 72 -j "$jobs" --criteria all >/dev/null
t2=$(seconds)
x=$(elapsed "$t0" "$t1")
k=$(elapsed "$t1" "$t2")
printf 'envelope of 72 points: xargs -P %s of 72 bare runs %6.3f s   lamvis2-kit envelope %6.3f s   ratio %.3f\n' \
  "$jobs" "$x" "$k" "$(echo "$k / $x" | bc -l)"

"$kit" strength "$case" --last-ply --json -j "$jobs" >"$tmp/last.json"
python3 - "$tmp/last.json" <<'PY'
import json, sys
q = {x["name"]: x for x in json.load(open(sys.argv[1]))["quantities"]}
for c in ("max-stress", "max-strain", "tsai-hill", "tsai-wu", "hoffman", "hashin"):
    last = q[f"last-ply.{c}"]
    print(f"last-ply {c:10s} of the 20-ply laminate: {int(q[f'last-ply.{c}.runs']['value'])} runs, "
          f"{int(q[f'last-ply.{c}.steps']['value'])} steps, R {last['text']} ({last.get('note', '')})")
PY
