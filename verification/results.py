"""The printed results of one run as quantities by name, read by lamvis2-kit.

read_results() is the one place that reads a results file: it runs `lamvis2-kit read
RESULTS --answers ANSWERS --json` and returns its quantities by name, each a dict with
the kit's fields (name, kind, text, value, ...). compare_results() runs `lamvis2-kit
compare` on two results files and returns its exit status and report.
"""

import json
import subprocess


class ReadError(Exception):
    pass


def read_results(kit, results, answers):
    """{name: quantity} for every number of RESULTS (printed, input and derived), and the
    kit's whole report as the second value."""
    done = subprocess.run([str(kit), "read", str(results), "--answers", str(answers), "--json"],
                          capture_output=True)
    if done.returncode != 0:
        raise ReadError(f"lamvis2-kit read {results}: exit status {done.returncode}: "
                        + done.stderr.decode(errors="replace").strip())
    report = json.loads(done.stdout)
    return {q["name"]: q for q in report["quantities"]}, report


def compare_results(kit, archived, new):
    """(exit status, report text) of `lamvis2-kit compare ARCHIVED NEW` (equal as printed)."""
    done = subprocess.run([str(kit), "compare", str(archived), str(new)], capture_output=True)
    return done.returncode, done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace")


# A reader of its own, used only where no kit is built (the kit is the reference reader;
# this one reads the same fields so that the manual can be written without it).
import re

_NUMBER = re.compile(r"-?\.\d+(?:E[+-]\d+|[+-]\d{3})")


def _value(text):
    t = text.strip()
    m = re.fullmatch(r"(-?\.\d+)([+-]\d{3})", t)
    return float(m.group(1) + "E" + m.group(2)) if m else float(t)


def read_own(results, thickness):
    lines = open(results, "rb").read().decode("latin-1").replace("\r\n", "\n").split("\n")
    out = {}

    def put(name, text, kind="printed"):
        out[name] = {"name": name, "kind": kind, "text": text.strip(), "value": _value(text)}

    i = 0
    labels = {"eps-xx =": "eps-xx", "eps-yy =": "eps-yy", "eps-xy =": "eps-xy",
              "kappa-xx =": "kappa-xx", "kappa-yy=": "kappa-yy", "kappa-xy =": "kappa-xy"}
    while i < len(lines):
        line = lines[i]
        for matrix in ("stiffness", "compliance"):
            if line.strip() == f"laminate {matrix} matrix:":
                rows = [l for l in lines[i + 1:i + 10] if l.strip()][:6]
                for r, row in enumerate(rows, 1):
                    for c, text in enumerate(_NUMBER.findall(row), 1):
                        put(f"{matrix}[{r},{c}]", text)
        for label, name in labels.items():
            if line.strip().startswith(label):
                put(name, line.strip()[len(label):])
        if line.startswith(" ply     sigma-1"):
            j = i + 2
            while j < len(lines) and re.match(r"^\s+\d+\s", lines[j]):
                k = int(lines[j].split()[0])
                for name, text in zip(("sigma-1", "sigma-2", "sigma-12"), _NUMBER.findall(lines[j][5:])):
                    put(f"ply[{k}].{name}", text)
                j += 1
        if line == "Enter relaxation time":
            n = 0
            for row in lines[i + 1:]:
                fields = _NUMBER.findall(row)
                if len(fields) != 7:
                    break
                n += 1
                for name, text in zip(("time", "eps-xx", "eps-yy", "eps-xy", "kappa-xx",
                                       "kappa-yy", "kappa-xy"), fields):
                    put(f"relaxation[{n}].{name}", text)
        i += 1
    h = thickness
    a = lambda i, j: out[f"compliance[{i},{j}]"]["value"]
    derived = {"thickness": h, "Ex": 1 / (h * a(1, 1)), "Ey": 1 / (h * a(2, 2)),
               "Gxy": 1 / (h * a(3, 3)), "nuxy": -a(1, 2) / a(1, 1), "nuyx": -a(1, 2) / a(2, 2),
               "Efx": 12 / (h ** 3 * a(4, 4)), "Efy": 12 / (h ** 3 * a(5, 5)),
               "Gfxy": 12 / (h ** 3 * a(6, 6))}
    for name, value in derived.items():
        out[name] = {"name": name, "kind": "derived", "text": repr(value), "value": value}
    return out
