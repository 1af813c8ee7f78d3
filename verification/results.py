"""The printed results of one run as quantities by name, read by lamvis2-kit.

read_results() is the one place that reads a results file: it runs `lamvis2-kit read
RESULTS --answers ANSWERS --json` and returns its quantities by name, each a dict with
the kit's fields (name, kind, text, value, ...). compare_results() runs `lamvis2-kit
compare` on two results files and returns its exit status and report.
"""

import json
import re
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


def has_command(kit, command):
    """Whether KIT has the subcommand COMMAND (its --help lists it)."""
    help_text = subprocess.run([str(kit), "--help"], capture_output=True, text=True).stdout
    return re.search(rf"^\s+{re.escape(command)}\b", help_text, re.M) is not None


def read_strength(kit, results, case):
    """{name: quantity} of `lamvis2-kit strength RESULTS --answers CASE --json`: the faces'
    stresses and strains, the criteria's strength ratios, the first-ply failures and the
    Tsai-Wu coefficients, from the strengths of the case file. A kit without the strength
    command is a ReadError that says so."""
    if not has_command(kit, "strength"):
        raise ReadError(f"{kit} has no strength command: the strength numbers of {case} "
                        "cannot be computed (build the current lamvis2-kit)")
    done = subprocess.run([str(kit), "strength", str(results), "--answers", str(case), "--json"],
                          capture_output=True)
    if done.returncode != 0:
        raise ReadError(f"lamvis2-kit strength {results} --answers {case}: exit status "
                        f"{done.returncode}: " + done.stderr.decode(errors="replace").strip())
    report = json.loads(done.stdout)
    return {q["name"]: q for q in report["quantities"]}


def compare_results(kit, archived, new):
    """(exit status, report) of `lamvis2-kit compare ARCHIVED NEW`: 0 when every number is
    equal as printed. Where the kit has no compare, the files must be the same bytes."""
    if not has_command(kit, "compare"):
        same = open(archived, "rb").read() == open(new, "rb").read()
        return (0, "") if same else (1, f"{new} and {archived} differ")
    done = subprocess.run([str(kit), "compare", str(archived), str(new)], capture_output=True)
    return done.returncode, done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace")
