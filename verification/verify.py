#!/usr/bin/env python3
"""Runs every verification case with the program, reads the results with lamvis2-kit,
compares each number with its reference within its tolerance, and writes the verification
manual (HTML, and PDF by headless Chromium) into the output folder.

  verify.py [--program P] [--emulator CMD] [--kit K] [--cases DIR] [--out DIR]
  verify.py --check --program P [--emulator CMD]   the cases through another build: its
      results must be the native program's, number for number, and pass as they do

The strength chapter (--strength-cases) is read with `lamvis2-kit strength`: a kit without
that command fails each of its numbers.

Exit status 0 when every number passes or carries an explanation in its case file, 1 when
any does not (or a run or a read failed), 2 when a folder of cases does not exist.
"""

import argparse
import html
import os
import pathlib
import platform
import re
import shlex
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))

import cases as case_files  # noqa: E402
import double  # noqa: E402
import results as reader  # noqa: E402
import tolerance  # noqa: E402

PASS, EXPLAINED, FAIL = "pass", "explained", "FAIL"
STRENGTH = "strength"
STRENGTH_CHAPTER = """
The strength quantities of `lamvis2-kit strength` (each ply's stresses and strains at its
faces, each criterion's strength ratio R, the first-ply failure, the Tsai-Wu coefficients of a
set), from the program's own runs: published strength ratios and coefficients
(`published/failure-cases.json`), and closed forms of a single ply at 0 degrees, of thickness
1, loaded to one of its strengths alone, where every criterion must give R = 1 (the stress is
the load, and R = strength / load).

Their tolerance's program part comes from the printed strains and curvatures the stresses are
derived from (tolerance.py, `strength_program_error`); a Tsai-Wu coefficient comes from the
strengths alone, exactly.
"""


def run_program(program, emulator, answers_text, results_path):
    command = shlex.split(emulator) + [str(program)] if emulator else [str(program)]
    done = subprocess.run(command, input=answers_text.encode(), capture_output=True, timeout=300)
    results_path.write_bytes(done.stdout)
    return done.returncode, done.stderr.decode(errors="replace")


def kind_of(name):
    if tolerance.is_strength_name(name):
        return "strength"
    if name.startswith("stiffness["):
        return "stiffness"
    if name.startswith("compliance["):
        return "compliance"
    if name.startswith("relaxation["):
        return "creep"
    if name.startswith("ply["):
        return "ply stresses"
    if name.split(".")[0] in double.DEFORMATION_NAMES:
        return "strains and curvatures"
    return "engineering constants"


def scale(name, structural_zero, dbl, h):
    """The magnitude the round-off is relative to (see tolerance.py)."""
    block = tolerance.block_of(name)
    if structural_zero and block:
        return max(abs(dbl[n]) for n in block)
    if name in double.DEFORMATION_NAMES and structural_zero:
        return max(max(abs(dbl[n]) for n in double.DEFORMATION_NAMES[:3]),
                   max(abs(dbl[n]) for n in double.DEFORMATION_NAMES[3:]) * h / 2)
    if name.startswith("ply[") and structural_zero:
        return max(abs(v) for n, v in dbl.items() if n.startswith("ply["))
    m = re.fullmatch(r"relaxation\[(\d+)\]\.(.+)", name)
    if m and m.group(2) != "time":
        row = f"relaxation[{m.group(1)}]."
        return max(max(abs(dbl[row + n]) for n in double.DEFORMATION_NAMES[:3]),
                   max(abs(dbl[row + n]) for n in double.DEFORMATION_NAMES[3:]) * h / 2)
    return abs(dbl.get(name, 0.0))


def relaxation_row(name):
    m = re.fullmatch(r"relaxation\[(\d+)\]\..+", name)
    return int(m.group(1)) if m else 0


class Outcome:
    """One case's run and the verdict on each of its numbers."""

    def __init__(self, case, got, report, status, stderr):
        self.case = case
        self.got = got
        self.report = report
        self.status = status
        self.stderr = stderr
        self.rows = []
        self.problems = []
        self.chapter = ""
        self.inputs = None
        self.condition = float("nan")

    def counts(self):
        c = {PASS: 0, EXPLAINED: 0, FAIL: 0}
        for row in self.rows:
            c[row["verdict"]] += 1
        return c


def inputs_of(got):
    """The material sets, plies, loads and relaxation time of a run, as the kit read them
    from its answers."""
    def value(name, default=None):
        return got[name]["value"] if name in got else default
    sets = []
    while value(f"set[{len(sets) + 1}].thickness") is not None:
        m = len(sets) + 1
        sets.append({key: value(f"set[{m}].{key}", 0.0) for key in
                     ("e1", "e2", "nu12", "g12", "thickness", "creep-fraction")})
    plies = []
    while value(f"ply[{len(plies) + 1}].angle") is not None:
        k = len(plies) + 1
        plies.append((int(value(f"ply[{k}].set")), value(f"ply[{k}].angle")))
    loads = [value(n, 0.0) for n in ("nx", "ny", "nxy", "mx", "my", "mxy")]
    return sets, plies, loads, value("relaxation-time", 1.0)


def evaluate(case, got, report, status, stderr):
    out = Outcome(case, got, report, status, stderr)
    if status != 0:
        out.problems.append(f"the program ended with exit status {status}: {stderr.strip()}")
    rows = max((relaxation_row(e["name"]) for e in case.expect), default=0)
    sets, plies, loads, tau = ((case.sets, case.plies, case.loads, case.relaxation_time)
                               if case.sets is not None else inputs_of(got))
    try:
        dbl, lam = double.quantities(sets, plies, loads, tau, rows)
        condition = tolerance.equilibrated_condition(lam.stiffness, lam.compliance)
    except (ZeroDivisionError, KeyError, IndexError, ValueError) as error:
        out.problems.append(f"no double-precision calculation of these inputs: {error}")
        dbl, condition = {}, 1.0
    h = sum(sets[m - 1]["thickness"] for m, _ in plies)
    out.condition = condition
    out.inputs = (sets, plies, loads, tau)
    compliance_texts = {(i, j): got[f"compliance[{i},{j}]"]["text"]
                        for i in range(1, 7) for j in range(1, 7) if f"compliance[{i},{j}]" in got}
    compliance_values = {(i, j): got[f"compliance[{i},{j}]"]["value"]
                         for i in range(1, 7) for j in range(1, 7) if f"compliance[{i},{j}]" in got}
    deformation_texts = {n: got[n]["text"] for n in double.DEFORMATION_NAMES if n in got}
    deformation_values = {n: got[n]["value"] for n in double.DEFORMATION_NAMES if n in got}
    for e in case.expect:
        name = e["name"]
        row = {"name": name, "expect": e, "kind": kind_of(name), "double": dbl.get(name)}
        q = got.get(name)
        if q is None:
            row.update(verdict=FAIL, text="(not printed)", value=None, tol=None, diff=None,
                       ratio=None, parts=None,
                       note="lamvis2-kit strength gives no such number"
                       if tolerance.is_strength_name(name) else "the results hold no such number")
            out.rows.append(row)
            continue
        value = q["value"]
        if value is None:
            row.update(verdict=FAIL, text=q.get("text", ""), value=None, tol=None, diff=None,
                       ratio=None, parts=None, note="the kit gives no value (" +
                       (q.get("text") or "none") + ")")
            out.rows.append(row)
            continue
        if tolerance.is_strength_name(name):
            program = tolerance.strength_program_error(name, value, deformation_texts,
                                                       deformation_values)
        elif q.get("kind") == "derived":
            program = tolerance.derived_program_error(name, value, compliance_texts, compliance_values)
        else:
            program = tolerance.printed_half_unit(q["text"])
        source = 0.5 * e["unit"]
        structural = bool(e.get("structural-zero")) or name.startswith("relaxation[") and not name.endswith(".time")
        magnitude = scale(name, structural, dbl, h) if dbl and (name in dbl or structural) else abs(value)
        arithmetic = tolerance.ulps(name, len(plies), condition, relaxation_row(name)) * tolerance.U * magnitude
        tol = source + program + arithmetic
        diff = abs(value - e["value"])
        ok = diff <= tol
        explained = e.get("explained", "").strip()
        if ok and explained:
            verdict = FAIL
            note = "explained, but within its tolerance: the explanation is stale"
        elif ok:
            verdict, note = PASS, ""
        elif explained:
            verdict, note = EXPLAINED, explained
        else:
            verdict, note = FAIL, "outside its tolerance and not explained"
        side = ""
        if not ok and name in dbl:
            d = dbl[name]
            program_off = abs(value - d) > program + arithmetic
            source_off = abs(e["value"] - d) > source + 1e-12 * abs(d)
            side = {(True, True): "both differ from it", (True, False): "program differs from it",
                    (False, True): "source differs from it",
                    (False, False): "each within its own precision of it"}[(program_off, source_off)]
        row.update(verdict=verdict, text=q["text"], value=value, tol=tol, diff=diff,
                   ratio=value / e["value"] if e["value"] else None,
                   parts=(source, program, arithmetic), note=note, side=side)
        out.rows.append(row)
    return out


# ---------------------------------------------------------------------------------------
# The manual


def git(*args):
    try:
        return subprocess.run(["git", "-C", str(ROOT), *args], capture_output=True, text=True,
                              check=True).stdout.strip()
    except (subprocess.CalledProcessError, FileNotFoundError):
        return ""


def version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(lamvis2 VERSION ([0-9.]+)", text).group(1)


def compiler(build_dir):
    cache = pathlib.Path(build_dir) / "CMakeCache.txt"
    path = "c++"
    if cache.exists():
        m = re.search(r"^CMAKE_CXX_COMPILER:\w+=(.+)$", cache.read_text(), re.M)
        if m:
            path = m.group(1).strip()
    try:
        first = subprocess.run([path, "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        first = path
    return first


def platform_text():
    distro = ""
    try:
        distro = " ".join(l.split("=", 1)[1].strip('"') for l in
                          pathlib.Path("/etc/os-release").read_text().splitlines()
                          if l.startswith("PRETTY_NAME="))
    except OSError:
        pass
    return f"{platform.system()} {platform.machine()}" + (f", {distro}" if distro else "")


def fmt(v):
    if v is None:
        return ""
    if v == 0:
        return "0"
    return f"{v:.6g}"


def markdown_html(text):
    """The small subset of Markdown that verification/README.md uses."""
    out, para, in_code, in_list = [], [], False, False

    def inline(s):
        s = html.escape(s)
        s = re.sub(r"`([^`]+)`", r"<code>\1</code>", s)
        return re.sub(r"\*\*([^*]+)\*\*", r"<b>\1</b>", s)

    def flush():
        nonlocal para, in_list
        if para:
            out.append("<p>" + inline(" ".join(para)) + "</p>")
            para = []
        if in_list:
            out.append("</ul>")
            in_list = False

    for line in text.splitlines():
        if line.startswith("```"):
            if in_code:
                out.append("</pre>")
                in_code = False
            else:
                flush()
                out.append("<pre>")
                in_code = True
            continue
        if in_code:
            out.append(html.escape(line))
            continue
        m = re.match(r"(#+) (.*)", line)
        if m:
            flush()
            level = min(len(m.group(1)) + 1, 4)
            out.append(f"<h{level}>{inline(m.group(2))}</h{level}>")
        elif line.startswith("- "):
            if para:
                out.append("<p>" + inline(" ".join(para)) + "</p>")
                para = []
            if not in_list:
                out.append("<ul>")
                in_list = True
            out.append("<li>" + inline(line[2:]))
        elif line.startswith("  ") and in_list:
            out[-1] += " " + inline(line.strip())
        elif not line.strip():
            flush()
        else:
            if in_list:
                flush()
            para.append(line.strip())
    flush()
    return "\n".join(out)


CSS = """
@page { size: A4; margin: 16mm 14mm 16mm 14mm; }
body { font-family: "DejaVu Sans", sans-serif; font-size: 8.5pt; color: #000; }
h1 { font-size: 20pt; margin-top: 50mm; }
h2 { font-size: 13pt; border-bottom: 1px solid #444; padding-bottom: 2pt; }
h3 { font-size: 10pt; }
section.page { break-before: page; }
table { border-collapse: collapse; margin: 4pt 0 8pt 0; }
table.numbers { font-size: 7pt; width: 100%; }
table.numbers td.n { white-space: normal; }
span.parts { font-size: 6pt; color: #333; }
th, td { border: 0.5pt solid #999; padding: 1.5pt 4pt; text-align: left; vertical-align: top; }
td.n { text-align: right; font-family: "DejaVu Sans Mono", monospace; white-space: nowrap; }
tr.FAIL td { background: #f4c7c7; }
tr.explained td { background: #fbeec2; }
pre { font-family: "DejaVu Sans Mono", monospace; font-size: 7.5pt; background: #f2f2f2;
      padding: 4pt; white-space: pre-wrap; }
.title td { border: none; padding: 2pt 10pt 2pt 0; font-size: 10pt; }
p.small { font-size: 7.5pt; }
"""


def case_checks(outcome):
    kinds = []
    for row in outcome.rows:
        if row["kind"] not in kinds:
            kinds.append(row["kind"])
    return ", ".join(kinds)


def write_manual(outcomes, out_dir, build_dir, stem):
    esc = html.escape
    commit = git("rev-parse", "HEAD") or "(not a git clone)"
    date = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime(source_epoch()))
    # Any change not committed, a new file included (a case file not yet added, say).
    dirty = " (with changes not committed)" if git("status", "--porcelain") else ""
    total = {PASS: 0, EXPLAINED: 0, FAIL: 0}
    for o in outcomes:
        for k, v in o.counts().items():
            total[k] += v
    failed_cases = sum(1 for o in outcomes if o.problems or o.counts()[FAIL])
    parts = [f"<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'>"
             f"<title>lamvis2 {esc(version())} verification manual</title><style>{CSS}</style></head><body>"]
    parts.append("<section>")
    parts.append(f"<h1>lamvis2 {esc(version())}<br>Verification manual</h1>")
    parts.append("<p>Published worked examples of classical lamination theory and of failure "
                 "criteria, and closed-form creep and strength solutions, run with the program "
                 "and compared number for number.</p>")
    parts.append("<table class='title'>")
    for k, v in (("Program version", version()), ("Commit", commit + dirty), ("Date (of the commit)", date),
                 ("Platform", platform_text()), ("Compiler", compiler(build_dir)),
                 ("Cases", f"{len(outcomes)}" + (f", {failed_cases} failed" if failed_cases else "")),
                 ("Numbers", f"{sum(total.values())}: {total[PASS]} pass, {total[EXPLAINED]} "
                             f"explained, {total[FAIL]} fail"),
                 ("Strength chapter", chapter_counts([o for o in outcomes if o.chapter == STRENGTH]))):
        parts.append(f"<tr><td><b>{esc(k)}</b></td><td>{esc(v)}</td></tr>")
    parts.append("</table></section>")

    parts.append("<section class='page'><h2>Summary</h2><table><tr><th>Case</th><th>Source</th>"
                 "<th>Checks</th><th>Numbers</th><th>Pass</th><th>Explained</th><th>Fail</th>"
                 "<th>Result</th></tr>")
    chapter = ""
    for o in outcomes:
        if o.chapter != chapter:
            chapter = o.chapter
            parts.append("<tr><td colspan='8'><b>Strength cases</b></td></tr>")
        c = o.counts()
        result = "fail" if c[FAIL] or o.problems else ("pass, with explanations" if c[EXPLAINED] else "pass")
        parts.append(f"<tr><td><a href='#{esc(o.case.id)}'>{esc(o.case.id)}</a></td>"
                     f"<td>{esc(o.case.source)}</td><td>{esc(case_checks(o))}</td>"
                     f"<td class='n'>{len(o.rows)}</td><td class='n'>{c[PASS]}</td>"
                     f"<td class='n'>{c[EXPLAINED]}</td><td class='n'>{c[FAIL]}</td><td>{result}</td></tr>")
    parts.append(f"<tr><td><b>all</b></td><td></td><td></td><td class='n'>{sum(total.values())}</td>"
                 f"<td class='n'>{total[PASS]}</td><td class='n'>{total[EXPLAINED]}</td>"
                 f"<td class='n'>{total[FAIL]}</td><td></td></tr></table>")
    explained = [(o, r) for o in outcomes for r in o.rows if r["verdict"] == EXPLAINED]
    if explained:
        parts.append("<h3>Explained disagreements</h3><table><tr><th>Case</th><th>Quantity</th>"
                     "<th>Explanation</th></tr>")
        for o, r in explained:
            parts.append(f"<tr><td>{esc(o.case.id)}</td><td>{esc(r['name'])}</td>"
                         f"<td>{esc(r['note'])}</td></tr>")
        parts.append("</table>")
    parts.append("</section>")

    parts.append("<section class='page'><h2>How the numbers are compared</h2>")
    parts.append(markdown_html(tolerance_text()))
    parts.append("</section>")

    chapter = ""
    for o in outcomes:
        if getattr(o, "chapter", "") != chapter:
            chapter = o.chapter
            strength = [x for x in outcomes if x.chapter == STRENGTH]
            parts.append("<section class='page'><h2>Strength cases</h2>"
                         + markdown_html(STRENGTH_CHAPTER)
                         + f"<p><b>This chapter:</b> {esc(chapter_counts(strength))}.</p></section>")
        parts.append(case_page(o))

    parts.append("<section class='page'><h2>How to add a case</h2>")
    readme = (HERE / "README.md").read_text(encoding="utf-8")
    parts.append(markdown_html(readme.split("\n", 1)[1]))
    parts.append("</section></body></html>\n")
    page = "\n".join(parts)
    html_path = out_dir / f"{stem}.html"
    html_path.write_text(page, encoding="utf-8")
    return html_path


def chapter_counts(outcomes):
    """'N cases, M numbers: P pass, E explained, F fail' (with the failed cases) of OUTCOMES."""
    t = summary_line(outcomes)
    failed = sum(1 for o in outcomes if o.problems or o.counts()[FAIL])
    return (f"{len(outcomes)} cases" + (f" ({failed} failed)" if failed else "")
            + f", {sum(t.values())} numbers: {t[PASS]} pass, {t[EXPLAINED]} explained, {t[FAIL]} fail")


def tolerance_text():
    doc = tolerance.__doc__.strip().splitlines()
    body = "\n".join(doc[1:]).strip()
    return ("A number passes when it lies within its tolerance of the reference value; the "
            "tolerance is the sum of three precisions, each known before the program runs:\n\n"
            + body.split(":", 1)[1].strip() +
            "\n\nThe ratio is program over reference. Where a number lies outside its "
            "tolerance, the column Double gives an independent double-precision "
            "calculation of the same quantity (textbook formulas, pi to double precision; "
            "verification/double.py) and says which side differs from it by more than its "
            "own precision. Such a number counts only with an explanation in its case file "
            "(`explained`), shown on the case's page; an explanation on a number that passes "
            "is reported as stale and fails too.")


def inputs_html(o):
    esc = html.escape
    sets, plies, loads, tau = o.inputs
    strengths = getattr(o.case, "strengths", [])
    with_strengths = any(strengths)
    keys = ("xt", "xc", "yt", "yc", "s", "f12star", "f12", "st")
    p = ["<table><tr><th>Set</th><th>E1</th><th>E2</th><th>nu12</th><th>G12</th>"
         "<th>thickness</th><th>creep fraction</th>"
         + ("".join(f"<th>{k}</th>" for k in keys) if with_strengths else "") + "</tr>"]
    for n, s in enumerate(sets, 1):
        g12 = fmt(s["g12"]) if "g12" in s else f"({fmt(double.shear_modulus(s))}, derived)"
        strength = strengths[n - 1] if n <= len(strengths) and strengths[n - 1] else {}
        p.append(f"<tr><td>{n}</td>" + "".join(
            f"<td class='n'>{v}</td>" for v in (fmt(s['e1']), fmt(s['e2']), fmt(s['nu12']),
                                                 g12, fmt(s['thickness']), fmt(s['creep-fraction'])))
                 + ("".join(f"<td class='n'>{fmt(strength.get(k))}</td>" for k in keys)
                    if with_strengths else "") + "</tr>")
    p.append("</table>")
    p.append("<p><b>Plies</b> (bottom first, set/angle): " + esc(", ".join(
        f"{m}/{fmt(a)}" for m, a in plies)) + ". <b>Loads</b> Nx, Ny, Nxy, Mx, My, Mxy: "
        + esc(", ".join(fmt(v) for v in loads))
        + f". <b>Relaxation time</b>: {esc(fmt(tau))}. "
        f"Condition number of the equilibrated stiffness: {o.condition:.3g}.</p>")
    return "\n".join(p)


def case_page(o):
    esc = html.escape
    case = o.case
    p = [f"<section class='page' id='{esc(case.id)}'><h2>{esc(case.id)}</h2>"]
    if case.title != case.id:
        p.append(f"<p><b>{esc(case.title)}</b></p>")
    p.append(f"<p><b>Source:</b> {esc(case.source)}</p>")
    if case.description:
        p.append(f"<p>{esc(case.description)}</p>")
    if case.answers_file:
        p.append(f"<p><b>Answer file:</b> {esc(case.answers_file.name)} (its inputs as the kit "
                 "reads them below)</p>")
    if o.inputs is not None:
        p.append(inputs_html(o))
    for note in case.notes:
        p.append(f"<p>{esc(note)}</p>")
    for problem in o.problems:
        p.append(f"<p><b>Problem:</b> {esc(problem)}</p>")
    if case.derivation:
        p.append("<h3>Derivation</h3>")
        p.append(markdown_html(case.derivation))
    # A strength quantity is the kit's, derived from the printed strains and curvatures in
    # double precision: shown to six digits, under its own heading.
    strength = o.chapter == STRENGTH
    got = "Kit derives (from the program's results)" if strength else "Program prints"
    p.append("<h3>Numbers</h3><table class='numbers'><tr><th>Quantity</th><th>Source prints</th>"
             f"<th>Reference</th><th>{got}</th><th>Ratio</th><th>|Difference|</th>"
             "<th>Tolerance (source + program + arithmetic)</th><th>Result</th><th>Double</th></tr>")
    for r in o.rows:
        e = r["expect"]
        tol = ""
        if r["parts"]:
            s, pr, ar = r["parts"]
            tol = (f"{r['tol']:.3g}<br><span class='parts'>{s:.3g} + {pr:.3g} + "
                   f"{ar:.2g}</span>")
        dbl = ""
        if r["verdict"] != PASS and r["double"] is not None:
            dbl = f"{r['double']:.6g}" + (f"<br><span class='parts'>{esc(r['side'])}</span>"
                                          if r.get("side") else "")
        ratio = "" if r["ratio"] is None else f"{r['ratio']:.5f}"
        diff = "" if r["diff"] is None else f"{r['diff']:.3g}"
        p.append(f"<tr class='{r['verdict']}'><td>{esc(r['name'])}</td>"
                 f"<td class='n'>{esc(e.get('printed', ''))}</td><td class='n'>{fmt(e['value'])}</td>"
                 f"<td class='n'>{esc(fmt(r['value']) if strength and r['value'] is not None else r['text'])}</td>"
                 f"<td class='n'>{ratio}</td>"
                 f"<td class='n'>{diff}</td><td class='n'>{tol}</td>"
                 f"<td>{r['verdict']}</td><td class='n'>{dbl}</td></tr>")
    p.append("</table>")
    notes = {}
    for r in o.rows:
        if r["note"]:
            notes.setdefault((r["verdict"], r["note"]), []).append(r["name"])
    if notes:
        p.append("<h3>Notes</h3><ul>")
        for (verdict, note), names in notes.items():
            p.append(f"<li><b>{esc(', '.join(names))}</b> ({verdict}): {esc(note)}</li>")
        p.append("</ul>")
    grouped = {}
    for r in o.rows:
        if r["expect"].get("note"):
            grouped.setdefault(r["expect"]["note"], []).append(r["name"])
    if grouped:
        p.append("<p class='small'><b>From the source:</b> " + "; ".join(
            f"{esc(', '.join(names))}: {esc(note)}" for note, names in grouped.items()) + ".</p>")
    p.append("</section>")
    return "\n".join(p)


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        for d in os.environ.get("PATH", "").split(os.pathsep):
            if os.access(os.path.join(d, name), os.X_OK):
                return os.path.join(d, name)
    return None


def write_pdf(html_path, pdf_path):
    """Prints the HTML to PDF with headless Chromium and sets its time stamps to the last
    commit's, so that the same commit gives the same bytes."""
    browser = chromium()
    if not browser:
        raise RuntimeError("no chromium to print the PDF (Debian package chromium)")
    with tempfile.TemporaryDirectory() as profile:
        done = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu",
                               "--no-pdf-header-footer", f"--user-data-dir={profile}",
                               "--font-render-hinting=none",
                               f"--print-to-pdf={pdf_path}", html_path.resolve().as_uri()],
                              capture_output=True, text=True, timeout=300)
    if done.returncode != 0 or not pdf_path.exists():
        raise RuntimeError(f"chromium could not print the PDF: {done.stderr[-2000:]}")
    stamp = pdf_date()
    data = pdf_path.read_bytes()
    # Same-length replacement keeps every byte offset of the cross-reference table valid.
    data = re.sub(rb"\((D:\d{14}[^)]*)\)", lambda m: b"(" + stamp.ljust(len(m.group(1)))[:len(m.group(1))] + b")"
                  if len(stamp) <= len(m.group(1)) else m.group(0), data)
    pdf_path.write_bytes(data)


def source_epoch():
    """The sources' time: SOURCE_DATE_EPOCH, or the last commit's."""
    return int(os.environ.get("SOURCE_DATE_EPOCH") or git("log", "-1", "--format=%ct") or "0")


def pdf_date():
    return time.strftime("D:%Y%m%d%H%M%S+00'00'", time.gmtime(source_epoch())).encode()


def pdf_pages(pdf_path):
    return len(re.findall(rb"/Type\s*/Page(?![s\w])", pdf_path.read_bytes()))


# ---------------------------------------------------------------------------------------


def run_cases(args, program, emulator, work, directory, chapter=""):
    outcomes = []
    for case in case_files.load_all(directory, args.kit):
        if isinstance(case, case_files.BadCase):
            outcomes.append(refused(case, chapter))
            continue
        answers = work / f"{case.id}.answers.txt"
        answers.write_text(case.answers())
        results = work / f"{case.id}.results.txt"
        status, stderr = run_program(program, emulator, case.answers(), results)
        try:
            got, report = reader.read_results(args.kit, results, answers)
        except reader.ReadError as error:
            out = Outcome(case, {}, None, status, stderr)
            out.problems.append(str(error))
            out.inputs, out.condition, out.chapter = None, float("nan"), chapter
            outcomes.append(out)
            continue
        # A strength case whose strength quantities cannot be had (a kit without the
        # strength command, or one that refuses these results) fails: its numbers are
        # counted, each failed, next to the reason.
        strength_problem = None
        if chapter == STRENGTH:
            try:
                got.update(reader.read_strength(args.kit, results, case.path))
            except reader.ReadError as error:
                strength_problem = str(error)
        out = evaluate(case, got, report, status, stderr)
        if strength_problem:
            out.problems.append(strength_problem)
        out.chapter = chapter
        outcomes.append(out)
    return outcomes


def refused(case, chapter):
    """The outcome of a case file the kit refuses: failed, with the kit's message."""
    out = Outcome(case, {}, None, 0, "")
    out.problems.append(f"the case file is refused: {case.error}")
    out.inputs, out.condition, out.chapter = None, float("nan"), chapter
    return out


def summary_line(outcomes):
    total = {PASS: 0, EXPLAINED: 0, FAIL: 0}
    for o in outcomes:
        for k, v in o.counts().items():
            total[k] += v
    return total


def main():
    parser = argparse.ArgumentParser(description="Runs the verification cases and writes the manual.")
    parser.add_argument("--program", default=str(ROOT / "build" / "lamvis2"))
    parser.add_argument("--emulator", default="", help="a command put before the program (wine, qemu-aarch64, node web/run-wasi.mjs)")
    parser.add_argument("--kit", default=str(ROOT / "build" / "lamvis2-kit"))
    parser.add_argument("--native", default=str(ROOT / "build" / "lamvis2"),
                        help="with --check: the native program whose results are required")
    parser.add_argument("--cases", default=str(HERE / "cases"))
    parser.add_argument("--strength-cases", default=str(HERE / "strength"),
                        help="the strength chapter's cases, read with lamvis2-kit strength (always run: "
                             "a kit without it fails them)")
    parser.add_argument("--out", default=str(ROOT / "build" / "verification"))
    parser.add_argument("--build-dir", default=str(ROOT / "build"))
    parser.add_argument("--check", action="store_true",
                        help="no manual: require the native program's results from --program")
    parser.add_argument("--no-pdf", action="store_true")
    args = parser.parse_args()

    out_dir = pathlib.Path(args.out)
    work = out_dir / ("check" if args.check else "runs")
    work.mkdir(parents=True, exist_ok=True)
    if not pathlib.Path(args.kit).exists():
        print(f"verify: no {args.kit}: build lamvis2-kit first (make verify does)", file=sys.stderr)
        return 1
    for folder in (args.cases, args.strength_cases):
        if not pathlib.Path(folder).is_dir():
            print(f"verify: no folder of cases {folder}", file=sys.stderr)
            return 2
    outcomes = run_cases(args, args.program, args.emulator, work, args.cases)
    # The strength chapter is always run: a kit without the strength command fails it.
    outcomes += run_cases(args, args.program, args.emulator, work, args.strength_cases, STRENGTH)
    total = summary_line(outcomes)
    failed = total[FAIL] + sum(len(o.problems) for o in outcomes)
    for o in outcomes:
        for r in o.rows:
            if r["verdict"] == FAIL:
                double_text = ""
                if r.get("double") is not None and r.get("side"):
                    double_text = f"; double precision {fmt(r['double'])}: {r['side']}"
                print(f"verify: {o.case.id}: {r['name']}: program {r['text']}, reference "
                      f"{fmt(r['expect']['value'])}: {r['note']}{double_text}", file=sys.stderr)
        for problem in o.problems:
            print(f"verify: {o.case.id}: {problem}", file=sys.stderr)

    if args.check:
        native = out_dir / "check-native"
        native.mkdir(parents=True, exist_ok=True)
        for o in outcomes:
            if isinstance(o.case, case_files.BadCase):
                continue
            reference = native / f"{o.case.id}.results.txt"
            run_program(args.native, "", o.case.answers(), reference)
            status, text = reader.compare_results(args.kit, reference, work / f"{o.case.id}.results.txt")
            if status != 0:
                failed += 1
                print(f"verify: {o.case.id}: the results differ from the native program's:\n{text}",
                      file=sys.stderr)
        print(f"verify --check: {len(outcomes)} cases, {sum(total.values())} numbers through "
              f"{args.emulator + ' ' if args.emulator else ''}{args.program}: "
              f"{total[PASS]} pass, {total[EXPLAINED]} explained, {total[FAIL]} fail; "
              + ("the native program's results" if not failed else "DIFFERENT"))
        return 1 if failed else 0

    stem = f"lamvis2-{version()}-verification"
    html_path = write_manual(outcomes, out_dir, args.build_dir, stem)
    strength = [o for o in outcomes if o.chapter == STRENGTH]
    if strength:
        st = summary_line(strength)
        print(f"verify: strength chapter: {len(strength)} cases, {sum(st.values())} numbers: "
              f"{st[PASS]} pass, {st[EXPLAINED]} explained, {st[FAIL]} fail")
    print(f"verify: {len(outcomes)} cases, {sum(total.values())} numbers: {total[PASS]} pass, "
          f"{total[EXPLAINED]} explained, {total[FAIL]} fail; manual {html_path}")
    if not args.no_pdf:
        pdf_path = out_dir / f"{stem}.pdf"
        write_pdf(html_path, pdf_path)
        print(f"verify: {pdf_path}: {pdf_path.stat().st_size} bytes, {pdf_pages(pdf_path)} pages")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
