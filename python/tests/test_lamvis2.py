"""The Python package held to lamvis2-kit, on the case files and the examples:
- every quantity of every case output, and of each example with its answers, is the kit's
  (`lamvis2-kit read --json`), by name, kind, table, text, value and line, and value(name)
  gives it;
- study gives the kit's study row for row, its provenance columns too, on the default pool,
  on one thread, on processes and on a Dask LocalCluster;
- compare gives the kit's report, JSON and exit status;
- strength gives the kit's strength quantities (`lamvis2-kit strength --json`) and report, on
  the strength cases and on the examples with a strengths file, first- and last-ply;
- each bad input is the package's exception with the kit's message.
  LAMVIS2_BUILD_DIR (default build) holds lamvis2-kit and the staged package (python/)."""

import hashlib
import io
import json
import math
import os
import re
import subprocess
import sys
from concurrent.futures import Executor, Future, ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

import pandas as pd
import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("LAMVIS2_BUILD_DIR", ROOT / "build")).resolve()
KIT = BUILD / "lamvis2-kit"
sys.path.insert(0, str(BUILD / "python"))
sys.path.insert(0, str(ROOT / "fuzz"))
import lamvis2  # noqa: E402
from make_corpus import case_input_sections, case_output_section, case_section  # noqa: E402

CASES = [c for c in sorted((ROOT / "tests" / "cases").glob("*.case"))
         if case_output_section(c).startswith(b"Viscoelastic")]
EXAMPLES = sorted((ROOT / "examples").glob("*.txt"))
# Answer files: the examples, and cases whose answers are in other forms or no numbers.
# And case files (TOML), whose answers the kit writes.
ANSWERED = [(e.stem, e) for e in EXAMPLES] + [
    (c, case_input_sections(ROOT / "tests" / "cases" / f"{c}.case"))
    for c in ("model_letters_for_real", "model_input_forms", "hand_ten_sets")] + [
    (c.stem, c) for c in sorted((ROOT / "verification" / "cases").glob("*.toml"))[:3]] + [
    (c.stem, c) for c in sorted((ROOT / "verification" / "strength").glob("*.toml"))[:1]]


def kit(*args):
    return subprocess.run([str(KIT), *map(str, args)], capture_output=True)


def same_value(a, b):
    return (a is None and math.isnan(b)) or a == b


def check_quantities(r, kit_json):
    want = json.loads(kit_json)
    got = r.quantities
    assert len(got) == len(want["quantities"])
    for row, q in zip(got.itertuples(index=False), want["quantities"]):
        assert (row.name, row.kind, row.table, row.text) == (q["name"], q["kind"], q["table"], q["text"])
        assert row.line == (q["line"] or 0), q["name"]
        assert same_value(q["value"], row.value), q["name"]
    # A name read back is its last (an answer asked for again is followed by the one taken).
    for name, q in {q["name"]: q for q in want["quantities"]}.items():
        assert same_value(q["value"], r.value(name)), name
    assert (r.complete, r.report) == (want["complete"], want["end"]["report"])
    assert (r.sha256, r.warnings) == (want["sha256"], want["warnings"])


@pytest.mark.parametrize("case", CASES, ids=[c.stem for c in CASES])
def test_case_quantities_are_the_kits(case, tmp_path):
    out, err = tmp_path / "results.out", tmp_path / "results.err"
    out.write_bytes(case_output_section(case))
    err.write_bytes(case_section(case, "stderr", b"\n"))
    check_quantities(lamvis2.read(out, stderr=err), kit("read", out, "--stderr", err, "--json").stdout)


@pytest.mark.parametrize("name,answers", ANSWERED, ids=[n for n, _ in ANSWERED])
def test_answered_run_is_the_kits(name, answers, tmp_path):
    example = answers
    if isinstance(answers, bytes):
        example = tmp_path / f"{name}.txt"
        example.write_bytes(answers)
    else:
        answers = kit("answers", example).stdout if example.suffix == ".toml" else example.read_bytes()
    r = lamvis2.run(example)
    out = tmp_path / "results.out"
    out.write_bytes(r.results)
    direct = subprocess.run([str(BUILD / "lamvis2")], input=answers, capture_output=True)
    assert (r.results, r.stderr, r.exit_status) == (direct.stdout, direct.stderr, direct.returncode)
    check_quantities(lamvis2.read(out, answers=example), kit("read", out, "--answers", example, "--json").stdout)
    if not r.complete:
        return
    # The arrays are the named values.
    assert r.stiffness[0, 2] == r.value("stiffness[1,3]") and r.compliance[5, 4] == r.value("compliance[6,5]")
    assert list(r.deformation) == [r.value(n) for n in lamvis2._result.DEFORMATION]
    last = len(r.stresses)
    assert r.stresses.loc[last, "sigma-12"] == r.value(f"ply[{last}].sigma-12")
    if len(r.relaxation):
        assert r.relaxation.iloc[-1]["kappa-xx"] == r.value("relaxation[last].kappa-xx")


TEMPLATE = re.sub(r"(?m)^90$", "{ANGLE}", (ROOT / "examples" / "glass_cross_ply.txt").read_text())
TEMPLATE = re.sub(r"(?m)^100$", "{T}", TEMPLATE)


def dask_executor():
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
    client = distributed.Client(cluster)
    return client.get_executor(), lambda: (client.close(), cluster.close())


EXECUTORS = {
    "default pool": lambda: (None, lambda: None),
    "serial": lambda: (ThreadPoolExecutor(1), lambda: None),
    "processes": lambda: (ProcessPoolExecutor(2), lambda: None),
    "dask LocalCluster": dask_executor,
}
# A case file as a template: its strengths give the strength quantities of each point.
CASE_TEMPLATE = (ROOT / "verification" / "strength" / "uniaxial_shear.toml").read_text().replace(
    "nxy = 70.0", "nxy = {N}")
STUDIES = [
    # (template, vary for the package, --vary for the kit, quantities)
    ("template.txt", {"ANGLE": range(0, 91, 45), "T": [0.1, 0.2, 0.1 * 3]}, ["ANGLE=0:90:45", "T=0.1:0.3:0.1"],
     ["Ex", "nuxy", "ply[2].sigma-1"]),
    ("template.txt", {"ANGLE": "0:90:30", "T": "0"}, ["ANGLE=0:90:30", "T=0"],
     ["relaxation[last].time", "set[1].e1", "thickness"]),
    ("template.txt", {"ANGLE": [15.5], "T": [2]}, ["ANGLE=15.5", "T=2"], None),
    ("template.toml", {"N": [35, 70]}, ["N=35:70:35"], ["first-ply.tsai-wu", "last-ply.hashin", "Ex"]),
]


@pytest.mark.parametrize("executor", EXECUTORS)
def test_study_is_the_kits_row_for_row(executor, tmp_path):
    (tmp_path / "template.txt").write_text(TEMPLATE)
    (tmp_path / "template.toml").write_text(CASE_TEMPLATE)
    # The kit runs the package's program, so that the rows' provenance is the same.
    program = ["--program", lamvis2._program.BUNDLED]
    provenance = lamvis2.PROVENANCE_COLUMNS
    pool, close = EXECUTORS[executor]()
    try:
        for name, vary, kit_vary, quantities in STUDIES:
            template = tmp_path / name
            args = [a for v in kit_vary for a in ("--vary", v)] + [a for q in quantities or [] for a in ("-q", q)]
            csv = kit("study", template, *args, *program)
            assert csv.returncode == 0, csv.stderr
            want = pd.read_csv(io.BytesIO(csv.stdout), dtype=str, keep_default_na=False)
            assert list(want.columns[-len(provenance):]) == provenance
            got = lamvis2.study(template, vary, quantities, executor=pool, text=True)
            got["exit_status"] = got["exit_status"].astype(str)
            pd.testing.assert_frame_equal(got, want)
            numbers = lamvis2.study(template, vary, quantities, executor=pool)
            for column in want.columns[len(vary) + 2:-len(provenance)]:
                assert all(same_value(None if t == "" else float(t), v)
                           for t, v in zip(want[column], numbers[column])), column
            # The provenance typed as the kit's JSON lines give it.
            lines = kit("study", template, *args, *program, "--jsonl").stdout.splitlines()
            assert numbers[provenance].to_dict("records") == [
                {c: json.loads(line)[c] for c in provenance} for line in lines]
            assert numbers["complete"].dtype == bool
    finally:
        close()


def test_study_provenance_is_of_the_results_and_the_program():
    """Held to hashes made here: the results' SHA-256 of a run of the filled template, and the
    program's of its file."""
    row = lamvis2.study(answers=TEMPLATE, vary={"ANGLE": [15.5], "T": [2]}, quantities=["Ex"]).iloc[0]
    filled = TEMPLATE.replace("{ANGLE}", "15.5").replace("{T}", "2").encode()
    out = subprocess.run([str(lamvis2._program.BUNDLED)], input=filled, capture_output=True).stdout
    assert (row["sha256"], row["complete"], row["warnings"]) == (hashlib.sha256(out).hexdigest(), True, [])
    assert (row["kit"], row["program"]) == (lamvis2.__version__, str(lamvis2._program.BUNDLED))
    assert row["program_sha256"] == hashlib.sha256(lamvis2._program.BUNDLED.read_bytes()).hexdigest()


def test_study_rows_come_as_they_finish_bounded_by_those_in_flight(tmp_path):
    class Counting(ThreadPoolExecutor):
        running = most = 0

        def submit(self, fn, *args):
            Counting.running += 1
            Counting.most = max(Counting.most, Counting.running)
            return super().submit(fn, *args)

    rows = lamvis2.study_rows(answers=TEMPLATE, vary={"ANGLE": range(0, 91, 5), "T": [1]},
                              quantities=["Ex"], executor=Counting(2), in_flight=3)
    seen = []
    for row in rows:
        Counting.running -= 1
        seen.append(row.index)
    assert sorted(seen) == list(range(19)) and Counting.most <= 3


def one_digit_changed(out):
    m = re.search(rb"(-?\.)(\d{4})(E[+-]\d\d)", out)
    digit = bytes([ord("0") + (m.group(2)[-1] - ord("0") + 1) % 10])
    return out[: m.end(2) - 1] + digit + out[m.end(2):]


COMPARISONS = [
    # (case, change to the new file, options as for the package, as for the kit)
    ("model_glass_cross_ply", lambda b: b, {}, []),
    ("model_glass_cross_ply", one_digit_changed, {}, []),
    ("model_glass_cross_ply", one_digit_changed, {"rel": 0.01}, ["--rel", "0.01"]),
    ("model_carbon_quasi_isotropic", one_digit_changed, {"abs": 1e-30}, ["--abs", "1e-30"]),
    ("model_carbon_quasi_isotropic", lambda b: b[: len(b) // 2], {"legacy": True}, ["--legacy"]),
]


@pytest.mark.parametrize("case,change,options,kit_options", COMPARISONS)
def test_compare_is_the_kits(case, change, options, kit_options, tmp_path):
    archived, new = tmp_path / "archived.out", tmp_path / "new.out"
    out = case_output_section(ROOT / "tests" / "cases" / f"{case}.case")
    archived.write_bytes(out)
    new.write_bytes(change(out))
    c = lamvis2.compare(archived, new, **options)
    text, as_json = kit("compare", archived, new, *kit_options), kit("compare", "--json", archived, new, *kit_options)
    assert (c.text.encode(), c.exit_status) == (text.stdout, text.returncode)
    assert c.json == json.loads(as_json.stdout)
    assert len(c.differences) == len(c.json["differences"])


class Refusing(Executor):
    def submit(self, fn, *args, **kwargs):
        raise RuntimeError("no room")


# Strengths for the examples' two material sets (carbon, glass), as a strengths file gives them.
STRENGTHS = ("[[set]]\nxt = 2280.0\nxc = 1440.0\nyt = 57.0\nyc = 228.0\ns = 71.0\n\n"
             "[[set]]\nxt = 1062.0\nxc = 610.0\nyt = 31.0\nyc = 118.0\ns = 72.0\nf12star = -0.3\n")
STRENGTH_CASES = sorted((ROOT / "verification" / "strength").glob("*.toml"))
STRENGTH_RUNS = [
    # (id, the run, strength's arguments, the kit's options)
    *[(c.stem, c, {"factor": 1.5}, ["--factor", "1.5"]) for c in STRENGTH_CASES],
    ("C6-last-ply", STRENGTH_CASES[0], {"criteria": ["tsai-wu", "hashin"], "last_ply": True},
     ["--criteria", "tsai-wu,hashin", "--last-ply"]),
    *[(e.stem, e, {"strengths": STRENGTHS, "criteria": "max-stress,max-strain,tsai-hill"}, ["--criteria",
      "max-stress,max-strain,tsai-hill"]) for e in EXAMPLES],
    ("glass-last-ply-file", EXAMPLES[-1], {"strengths": "FILE", "factor": 2, "last_ply": True},
     ["--factor", "2", "--last-ply"]),
]


@pytest.mark.parametrize("name,source,given,options", STRENGTH_RUNS, ids=[n for n, *_ in STRENGTH_RUNS])
def test_strength_is_the_kits(name, source, given, options, tmp_path):
    strengths = tmp_path / "strengths.toml"
    strengths.write_text(STRENGTHS)
    if given.get("strengths") == "FILE":
        given = {**given, "strengths": strengths}
    r = lamvis2.run(source)
    s = r.strength(**given)
    if source.suffix == ".toml":
        args = [source]
    else:
        (tmp_path / "results.out").write_bytes(r.results)
        args = [tmp_path / "results.out", "--answers", source, "--strengths", strengths]
    want = [q for q in json.loads(kit("strength", *args, *options, "--json").stdout)["quantities"]
            if q["table"] == "strength"]
    assert [(q["name"], q["text"], q["note"]) for q in want] == list(
        s.quantities[["name", "text", "note"]].itertuples(index=False, name=None))
    for q, v in zip(want, s.quantities["value"]):
        assert same_value(q["value"], v), q["name"]
    assert s.text == kit("strength", *args, *options).stdout.decode()
    # The tables are the named values.
    plies = s.plies
    for (ply, face), row in plies.iterrows():
        for column, v in row.items():
            name = f"ply[{ply}].{face}.{column}"
            assert v == (s.text_of(name) if column.endswith(".mode") else s.value(name)) or s.text_of(name) == "infinite"
    for c, row in s.first_ply.iterrows():
        assert (row["R"], row["ply"], row["mode"], row["nx"]) == (
            s.value(f"first-ply.{c}"), s.value(f"first-ply.{c}.ply"), s.text_of(f"first-ply.{c}.mode"),
            s.value(f"first-ply.{c}.nx"))
        assert "margin" not in row or row["margin"] == s.value(f"first-ply.{c}.margin")
    if given.get("last_ply"):
        assert list(s.last_ply["R"]) == [s.value(f"last-ply.{c}") for c in s.criteria]


def hybrid_with_glass_results():
    glass, hybrid = lamvis2.run(EXAMPLES[1]), EXAMPLES[2]
    return lamvis2.Result(glass.results, answers=hybrid.read_bytes(), name="glass.out")


class Failing(Executor):
    def submit(self, fn, *args, **kwargs):
        f = Future()
        f.set_exception(ConnectionError("worker lost"))
        return f


def results_run_short():
    return lamvis2.run(answers="38600\n8270\n")


ERRORS = [
    # (what is done, the exception, its message (a regular expression))
    (lambda: lamvis2.run("no/such/answers.txt"), lamvis2.InputError, r"^no/such/answers.txt: No such file or directory$"),
    (lambda: lamvis2.run(answers=42), lamvis2.InputError, r"^answers: text is expected, not int$"),
    (lambda: lamvis2.run(), lamvis2.InputError, r"give either an answer file or answers="),
    (lambda: lamvis2.read(ROOT / "README.md"), lamvis2.NotResultsError, "KIT"),
    (lambda: lamvis2.run(EXAMPLES[0]).value("stiffness[7,1]"), lamvis2.UnknownQuantityError,
     r"^stiffness\[7,1\]: no quantity has this name"),
    (lambda: lamvis2.run(EXAMPLES[0]).value("ply[21].sigma-1"), lamvis2.UnknownQuantityError,
     r"^ply\[21\].sigma-1: not in these results$"),
    (lambda: results_run_short().stiffness, lamvis2.IncompleteRunError, r"F6501: READ\(CON\) / - end of file"),
    (lambda: results_run_short().relaxation, lamvis2.IncompleteRunError, r"the run ended before it"),
    (lambda: lamvis2.study(answers="{A}\n", vary={}), lamvis2.InputError, r"^vary: a mapping"),
    (lambda: lamvis2.study(answers="{A}\n", vary={"A": []}), lamvis2.InputError, r"^vary A: the range yields no value$"),
    (lambda: lamvis2.study(answers="{A}\n", vary={"A": "0:1:-1"}), lamvis2.InputError, r"^vary A=0:1:-1: the range yields no value"),
    (lambda: lamvis2.study(answers="{A}\n{B}\n", vary={"A": "1:1000:1", "B": "1:1001:1"}), lamvis2.InputError,
     r"^study: the grid has 1001000 points \(1000 x 1001\), more than 1000000$"),
    (lambda: lamvis2.study(answers="{A}\n{B}\n", vary={"A": [1]}), lamvis2.InputError,
     r"^answers:2: the placeholder \{B\} is given no values"),
    (lambda: lamvis2.study(answers=TEMPLATE, vary={"ANGLE": [0], "T": [1]}, quantities=["Exx"]),
     lamvis2.UnknownQuantityError, r"^Exx: no quantity has this name"),
    (lambda: lamvis2.study(answers=TEMPLATE, vary={"ANGLE": [0], "T": [1]}, executor=Refusing()),
     lamvis2.StudyError, r"^study, ANGLE=0, T=1: the executor refused the run: RuntimeError: no room$"),
    (lambda: lamvis2.study(answers=TEMPLATE, vary={"ANGLE": [0], "T": [1]}, executor=Failing()),
     lamvis2.StudyError, r"^study, ANGLE=0, T=1: the executor raised ConnectionError: worker lost$"),
    (lambda: lamvis2.run(EXAMPLES[0], program="/no/such/program"), lamvis2.ProgramError,
     r"^cannot start /no/such/program: No such file or directory$"),
    (lambda: lamvis2.compare(EXAMPLES[0], EXAMPLES[0], rel=-1), lamvis2.InputError, r"^rel: a number from 0"),
    (lambda: lamvis2.run(EXAMPLES[0]).strength(), lamvis2.InputError, r"answers hold no strengths: give strengths="),
    (lambda: lamvis2.run(STRENGTH_CASES[0]).strength(criteria="tsai-wo"), lamvis2.InputError,
     r'^criteria: unknown criterion "tsai-wo"'),
    (lambda: lamvis2.run(STRENGTH_CASES[0]).value("ply[1].top.tsai-wo"), lamvis2.UnknownQuantityError,
     r"^ply\[1\].top.tsai-wo: no quantity has this name"),
    (lambda: lamvis2.run(STRENGTH_CASES[0]).value("last-ply.hashin"), lamvis2.UnknownQuantityError,
     r"^last-ply.hashin: not in these results$"),
    (lambda: lamvis2.run(STRENGTH_CASES[0]).strength(factor=0), lamvis2.InputError, r"^factor: a load factor"),
    (lambda: lamvis2.run(EXAMPLES[2]).strength(strengths=STRENGTHS.split("\n\n")[0] + "\n"), lamvis2.InputError,
     r"^strengths:1: .*set 2"),
    (lambda: lamvis2.run(EXAMPLES[0]).strength(strengths="[[set]]\nxt = -1.0\nxc = 1.0\nyt = 1.0\nyc = 1.0\ns = 1.0\n"),
     lamvis2.InputError,
     r"^strengths:2: xt must be above zero, not -1$"),
    (lambda: results_run_short().strength(strengths=STRENGTHS), lamvis2.IncompleteRunError,
     r"the run ended in the report .*F6501.*: no strength numbers$"),
    (lambda: hybrid_with_glass_results().strength(strengths=STRENGTHS), lamvis2.InputError,
     r"^glass.out: the answers do not belong to these results"),
]


@pytest.mark.parametrize("act,error,message", ERRORS, ids=[str(i) for i in range(len(ERRORS))])
def test_errors_are_the_packages_with_the_kits_message(act, error, message):
    if message == "KIT":  # the kit's own message for the file, without its prefix
        r = kit("read", ROOT / "README.md")
        assert r.returncode == 2
        message = "^" + re.escape(r.stderr.decode().removeprefix("lamvis2-kit: ").rstrip("\n")) + "$"
    with pytest.raises(error, match=message):
        act()


def test_the_kits_study_refuses_a_grid_over_the_limit(tmp_path):
    template = tmp_path / "t.txt"
    template.write_text("{A}\n{B}\n")
    r = kit("study", template, "--vary", "A=1:1000:1", "--vary", "B=1:1001:1")
    assert (r.returncode, r.stderr) == (2, b"lamvis2-kit: study: the grid has 1001000 points (1000 x 1001), "
                                           b"more than 1000000 (--max-points); nothing was run\n")
