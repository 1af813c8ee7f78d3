"""The kit's subcommands held to the program and to the reference model, on the case files
and the examples:
- compare: each case output agrees with itself and with its copy with LF line ends; a copy
  with one digit changed differs in exactly that number;
- run: each results file is the bytes of a direct run, and the summary has its exit status;
- study: each row is what a direct run of the filled template prints;
- compare --legacy: a results file of the legacy summation (the reference model's) differs
  only as explained, and without --legacy it differs;
- case files: the answers of each verification case are its values as read, one a line in
  the program's order, each written as Python's repr writes it (an integral value below
  10^15 as an integer), on every platform; run of a case file is the bytes of a direct run of
  its answers; a bad case is exit status 2 with FILE:LINE and nothing written.
  python3 kit_checks.py KIT PROGRAM ROOT
With KIT_CHECKS_EMULATOR set (the words of an emulator, such as wine or qemu-aarch64), the kit
and the direct runs go through it; the kit itself finds the program as it does anywhere
($LAMVIS2_PROGRAM, $LAMVIS2_EMULATOR)."""

import csv
import json
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

KIT, PROGRAM, ROOT = sys.argv[1], sys.argv[2], Path(sys.argv[3])
sys.path.insert(0, str(ROOT / "tests" / "model"))
sys.path.insert(0, str(ROOT / "fuzz"))
from lamvis_model import run_model  # noqa: E402
from make_corpus import case_input_sections, case_output_section  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


EMULATOR = os.environ.get("KIT_CHECKS_EMULATOR", "").split()


def kit(*args):
    return subprocess.run([*EMULATOR, KIT, *map(str, args)], capture_output=True)


def direct(answers):
    return subprocess.run([*EMULATOR, PROGRAM], input=answers, capture_output=True)


cases = sorted((ROOT / "tests" / "cases").glob("*.case"))
examples = sorted((ROOT / "examples").glob("*.txt"))
with tempfile.TemporaryDirectory() as tmp:
    tmp = Path(tmp)

    # compare: itself, the LF copy, one digit changed.
    field = re.compile(rb"(-?\.)(\d{4})(E[+-]\d\d)")
    for case in cases:
        out = case_output_section(case)
        if not out.startswith(b"Viscoelastic"):
            continue
        archived = tmp / "archived.txt"
        archived.write_bytes(out)
        for name, data in (("itself", out), ("its LF copy", out.replace(b"\r\n", b"\n"))):
            copy = tmp / "copy.txt"
            copy.write_bytes(data)
            r = kit("compare", archived, copy)
            check(r.returncode == 0, f"{case.stem}: compare with {name} gives {r.returncode}")
        m = field.search(out)
        if m is None:
            continue
        digits = m.group(2)
        changed = digits[:-1] + bytes([ord("0") + (digits[-1] - ord("0") + 1) % 10])
        copy = tmp / "copy.txt"
        copy.write_bytes(out[: m.start(2)] + changed + out[m.end(2):])
        r = kit("compare", "--json", archived, copy)
        check(r.returncode == 1, f"{case.stem}: one digit changed, compare gives {r.returncode}")
        if r.returncode == 1:
            report = json.loads(r.stdout)
            line = out[: m.start()].count(b"\n") + 1
            found = [(d["archived"]["line"], d["archived"]["text"], d["new"]["text"]) for d in report["differences"]]
            expected_old = m.group(0).decode()
            expected_new = (m.group(1) + changed + m.group(3)).decode()
            check(found == [(line, expected_old, expected_new)],
                  f"{case.stem}: one digit changed, found {found}")

    # run: the bytes of direct runs, the exit statuses in the summary.
    batch = []
    for case in cases:
        answers = case_input_sections(case)
        if answers:
            path = tmp / "answers" / f"{case.stem}.txt"
            path.parent.mkdir(exist_ok=True)
            path.write_bytes(answers)
            batch.append(path)
    r = kit("run", "-j", "2", "--out", tmp / "results", *batch)
    check(r.returncode in (0, 1), f"run gives {r.returncode}: {r.stderr!r}")
    rows = {row["file"]: row for row in csv.DictReader(open(tmp / "results" / "summary.csv", newline=""))}
    for path in batch:
        d = direct(path.read_bytes())
        check((tmp / "results" / f"{path.stem}.out").read_bytes() == d.stdout,
              f"run: {path.stem} differs from a direct run")
        check(rows.get(str(path), {}).get("exit_status") == str(d.returncode),
              f"run: {path.stem}'s exit status in the summary")

    # study: each row against a direct run of the filled template.
    glass = (ROOT / "examples" / "glass_cross_ply.txt").read_text()
    template = tmp / "template.txt"
    template.write_text(glass.replace("\n90\n", "\n{ANGLE}\n", 1).replace("\n100\n", "\n{TIME}\n"))
    wanted = ["ply[2].sigma-1", "relaxation[last].kappa-xy", "compliance[1,3]", "nuxy"]
    r = kit("study", template, "--vary", "ANGLE=0:90:45", "--vary", "TIME=1:2:1",
            *[a for q in wanted for a in ("-q", q)])
    check(r.returncode == 0, f"study gives {r.returncode}: {r.stderr!r}")
    rows = list(csv.DictReader(r.stdout.decode().splitlines()))
    grid = [(a, t) for a in ("0", "45", "90") for t in ("1", "2")]
    check([(row["ANGLE"], row["TIME"]) for row in rows] == grid, "study: the grid's rows")
    for row in rows:
        filled = template.read_text().replace("{ANGLE}", row["ANGLE"]).replace("{TIME}", row["TIME"])
        d = direct(filled.encode())
        results = tmp / "direct.txt"
        results.write_bytes(d.stdout)
        read = {q["name"]: q for q in json.loads(kit("read", "--json", results).stdout)["quantities"]}
        last = max(int(n.split("[")[1].split("]")[0]) for n in read if n.startswith("relaxation["))
        read["relaxation[last].kappa-xy"] = read[f"relaxation[{last}].kappa-xy"]
        for q in wanted:
            shown = read[q]["text"] if read[q]["kind"] == "printed" else repr(read[q]["value"])
            cell = row[q] if read[q]["kind"] == "printed" else repr(float(row[q]))
            check(cell == shown, f"study: {q} at {row['ANGLE']}, {row['TIME']}: {cell} vs {shown}")

    # --legacy: the legacy summation of the reference model.
    for example in examples:
        legacy_out, _, _ = run_model(example.read_bytes(), legacy_creep_sum=True)
        legacy = tmp / "legacy.txt"
        legacy.write_bytes(legacy_out)
        r = kit("compare", "--json", "--legacy", legacy, "--answers", example)
        report = json.loads(r.stdout)
        check(r.returncode == 0 and report["explained"], f"{example.stem}: --legacy gives {r.returncode}")
        check(all(d["name"].startswith("relaxation[") and not d["name"].startswith("relaxation[1].")
                  and not d["name"].endswith(".time") for d in report["explained"]),
              f"{example.stem}: --legacy explains what it should not")
        check(kit("compare", legacy, "--answers", example).returncode == 1,
              f"{example.stem}: the legacy table agrees without --legacy")

    # Case files: the answers, a run, and bad cases.
    def number(v):
        return str(int(v)) if v == int(v) and abs(v) < 1e15 else repr(v)

    case_files = sorted((ROOT / "verification" / "cases").glob("*.toml")) + \
        sorted((ROOT / "verification" / "strength").glob("*.toml"))
    for path in case_files:
        c = json.loads(kit("case", "--json", path).stdout)
        values = []
        for s in c["sets"]:
            values += [s["e1"], s["e2"], s["nu12"]] + ([s["g12"]] if s["g12-asked"] else []) + \
                [s["thickness"], s["creep-fraction"]]
        values += [-1.0] if len(c["sets"]) < 10 else []
        for p in c["plies"]:
            values += [p["set"], p["angle"]]
        values += [-1.0] if len(c["plies"]) < 20 else []
        values += [c["loads"][k] for k in ("nx", "ny", "nxy", "mx", "my", "mxy")] + [c["relaxation-time"]]
        want = "".join(number(float(v)) + "\n" for v in values)
        answers = kit("answers", path)
        check(answers.stdout.decode() == want == c["answers"], f"{path.name}: answers")
    out = tmp / "case-runs"
    r = kit("run", "--out", out, *case_files[:3])
    check(r.returncode == 0, f"run of case files: exit status {r.returncode}")
    for path in case_files[:3]:
        d = direct(kit("answers", path).stdout)
        check((out / (path.stem + ".out")).read_bytes() == d.stdout, f"run {path.name}: not a direct run's bytes")
    good = case_files[0].read_text()
    for bad, line in ((good.replace("angle =", "angel =", 1), "unknown key \"angel\""),
                      (good.replace("[[ply]]", "[[plies]]"), "unknown key \"plies\""),
                      (good.replace("e1 = ", "e1 = -", 1), "e1 must be above zero")):
        path = tmp / "bad.toml"
        path.write_text(bad)
        for args in (("answers", path), ("case", "--json", path), ("run", "--out", tmp / "bad-run", path)):
            r = kit(*args)
            check(r.returncode == 2 and not r.stdout and re.search(rf"bad.toml:\d+: .*{re.escape(line)}".encode(), r.stderr),
                  f"{args[0]} of a bad case ({line}): {r.returncode} {r.stderr[:200]!r}")
        check(not (tmp / "bad-run" / "bad.out").exists(), f"run of a bad case ({line}) wrote its results")

for f in failures:
    print(f)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
