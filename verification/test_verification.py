"""Tests of the verification runner: the tolerance rules, the double-precision calculation,
the creep closed forms, and a case written by hand picked up from its folder."""

import html
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE / "creep"))

import closed_form  # noqa: E402
import double  # noqa: E402
import tolerance  # noqa: E402

# The build folder of the program and the kit (make verify passes its BUILD_DIR).
BUILD = HERE.parent / os.environ.get("LAMVIS2_BUILD_DIR", "build")
PROGRAM = BUILD / "lamvis2"
KIT = BUILD / "lamvis2-kit"


class PrintedPrecision(unittest.TestCase):
    def test_half_unit_of_the_fourth_digit(self):
        for text, half in ((".1000E-01", 0.5e-5), ("-.2500E-02", 0.5e-6), (".1463E+06", 50.0),
                           (".0000E+00", 0.0), ("-.1234-100", 0.5e-104), (".9999E+00", 0.5e-4)):
            with self.subTest(text=text):
                self.assertAlmostEqual(tolerance.printed_half_unit(text) / half if half else 0.0,
                                       1.0 if half else 0.0, places=12)

    def test_derived_errors_carry_both_entries(self):
        texts = {(1, 1): ".4000E-04", (1, 2): "-.1000E-04"}
        values = {(1, 1): 4e-5, (1, 2): -1e-5}
        nu = tolerance.derived_program_error("nuxy", 0.25, texts, values)
        self.assertAlmostEqual(nu, 0.25 * (0.5e-8 / 1e-5 + 0.5e-8 / 4e-5), places=15)


ISOTROPIC = {"e1": 100.0, "e2": 100.0, "nu12": 0.25, "thickness": 1.0, "creep-fraction": 0.5}


class DoublePrecision(unittest.TestCase):
    def test_unit_isotropic_ply(self):
        q, lam = double.quantities([ISOTROPIC], [(1, 0.0)], [10.0, 0, 0, 0, 0, 0])
        for name, want in (("stiffness[1,1]", 100 / 0.9375), ("stiffness[1,2]", 25 / 0.9375),
                           ("stiffness[3,3]", 40.0), ("stiffness[4,4]", 100 / 0.9375 / 12),
                           ("stiffness[1,4]", 0.0), ("eps-xx", 0.1), ("eps-yy", -0.025),
                           ("ply[1].sigma-1", 10.0), ("Ex", 100.0), ("nuxy", 0.25),
                           ("Efx", 100.0)):
            with self.subTest(name=name):
                self.assertAlmostEqual(q[name], want, places=9)

    def test_isotropic_ply_is_the_same_at_any_angle(self):
        q0, _ = double.quantities([ISOTROPIC], [(1, 0.0)], [1, 2, 3, 4, 5, 6])
        for angle in (30.0, 45.0, -60.0, 90.0):
            q, _ = double.quantities([ISOTROPIC], [(1, angle)], [1, 2, 3, 4, 5, 6])
            for i in range(1, 7):
                for j in range(1, 7):
                    name = f"stiffness[{i},{j}]"
                    self.assertAlmostEqual(q[name], q0[name], places=9, msg=f"{angle} {name}")

    def test_stress_rotation_of_a_rotated_ply(self):
        """A ply at 90 degrees under Ny carries it along its fibres."""
        ortho = {"e1": 140.0, "e2": 10.0, "nu12": 0.3, "g12": 5.0, "thickness": 2.0}
        q, _ = double.quantities([ortho], [(1, 90.0)], [0, 8.0, 0, 0, 0, 0])
        self.assertAlmostEqual(q["ply[1].sigma-1"], 4.0, places=9)
        self.assertAlmostEqual(q["ply[1].sigma-2"], 0.0, places=9)
        self.assertAlmostEqual(q["eps-yy"], 8.0 / (2.0 * 140.0), places=12)


class CreepClosedForms(unittest.TestCase):
    """The closed forms against the scheme stepped in double precision: a wrong derivation
    (or a wrong scheme) parts the two."""

    def check(self, rows, sets, plies, loads, tau):
        q, lam = double.quantities(sets, plies, loads, tau, len(rows))
        worst = max(abs(v) for _, values in rows for v in values)
        for n, (time, values) in enumerate(rows, 1):
            self.assertAlmostEqual(q[f"relaxation[{n}].time"], time, delta=1e-12 * time)
            for name, value in zip(closed_form.NAMES, values):
                self.assertAlmostEqual(q[f"relaxation[{n}].{name}"], value, delta=1e-12 * worst,
                                       msg=f"row {n} {name}")

    def test_isotropic_ply(self):
        for angle in (0.0, 30.0, -75.0):
            with self.subTest(angle=angle):
                rows = closed_form.isotropic_ply(100.0, 0.25, 1.0, 0.5, 2.0, (10.0, 4.0, 3.0), angle)
                self.check(rows, [ISOTROPIC], [(1, angle)], [10.0, 4.0, 3.0, 0, 0, 0], 2.0)

    def test_cross_ply(self):
        ortho = {"e1": 140.0, "e2": 10.0, "nu12": 0.0, "g12": 5.0, "thickness": 1.0,
                 "creep-fraction": 0.4}
        rows = closed_form.cross_ply(140.0, 10.0, 1.0, 0.4, 1.0, 100.0)
        self.check(rows, [ortho], [(1, 0.0), (1, 90.0), (1, 90.0), (1, 0.0)],
                   [100.0, 0, 0, 0, 0, 0], 1.0)


HAND_CASE = """\
title = "A unit isotropic ply, written by hand"
source = "the laminate's own formulas: A = Q t, Q11 = E / (1 - nu^2)"
description = "One ply, E = 100, nu12 = 0.25, thickness 1, under Nx = 10."

[[set]]
e1 = 100.0
e2 = 100.0
nu12 = 0.25
thickness = 1.0

[[ply]]
set = 1
angle = 0.0

[loads]
nx = 10.0

[[expect]]
name = "stiffness[1,1]"
value = {a11}
printed = "106.67"
unit = 0.01
{explained}
[[expect]]
name = "eps-yy"
value = -0.025
unit = 0.001

[[expect]]
name = "stiffness[1,3]"
value = 0.0
structural-zero = true
"""


# Stands for an emulator: runs the program, and changes the text FROM into TO in its output.
OTHER_PLATFORM = """\
import subprocess, sys
command, change = sys.argv[-1:], sys.argv[1:-1]
out = subprocess.run(command, stdin=sys.stdin, capture_output=True).stdout
if change:
    out = out.replace(change[0].encode(), change[1].encode(), 1)
sys.stdout.buffer.write(out)
"""


# Stands for a kit built before the strength command: the kit, with `strength` refused and
# left out of its --help.
KIT_WITHOUT_STRENGTH = """\
import re, subprocess, sys
kit, args = sys.argv[1], sys.argv[2:]
if args[:1] == ["strength"]:
    sys.exit("lamvis2-kit: The following argument was not expected: strength")
done = subprocess.run([kit, *args], capture_output=True)
out = done.stdout
if "--help" in args:
    out = b"".join(l for l in out.splitlines(True) if not re.match(rb"\\s+strength\\b", l))
sys.stdout.buffer.write(out)
sys.stderr.buffer.write(done.stderr)
sys.exit(done.returncode)
"""


@unittest.skipUnless(PROGRAM.exists() and KIT.exists(), "the program and the kit are not built")
class HandWrittenCase(unittest.TestCase):
    def run_case(self, text, *options, others=(), strength=(), kit=str(KIT)):
        with tempfile.TemporaryDirectory() as tmp:
            cases = pathlib.Path(tmp) / "cases"
            cases.mkdir()
            (cases / "our_unit_ply.toml").write_text(text)
            for name, other in others:
                (cases / name).write_text(other)
            strength_cases = pathlib.Path(tmp) / "strength"
            strength_cases.mkdir()
            for name in strength:
                (strength_cases / name).write_bytes((HERE / "strength" / name).read_bytes())
            (pathlib.Path(tmp) / "other_platform.py").write_text(OTHER_PLATFORM)
            without = pathlib.Path(tmp) / "kit_without_strength"
            without.write_text(f"#!/bin/sh\nexec '{sys.executable}' '{tmp}/without.py' '{KIT}' \"$@\"\n")
            without.chmod(0o755)
            (pathlib.Path(tmp) / "without.py").write_text(KIT_WITHOUT_STRENGTH)
            options = [o.replace("TMP", tmp) for o in options]
            done = subprocess.run([sys.executable, str(HERE / "verify.py"), "--program", str(PROGRAM),
                                   "--kit", kit.replace("TMP", tmp), "--native", str(PROGRAM),
                                   "--cases", str(cases), "--strength-cases", str(strength_cases),
                                   "--out", str(pathlib.Path(tmp) / "out"),
                                   "--no-pdf", *options], capture_output=True, text=True)
            manuals = list((pathlib.Path(tmp) / "out").glob("*.html"))
            return done, manuals[0].read_text() if manuals else ""

    def test_another_platform_must_print_the_native_results(self):
        case = HAND_CASE.format(a11=106.67, explained="")
        emulator = f"{sys.executable} TMP/other_platform.py"
        done, _ = self.run_case(case, "--check", "--emulator", emulator)
        self.assertEqual(done.returncode, 0, done.stderr)
        # A digit that no case compares, changed: the numbers still pass, the platform not.
        done, _ = self.run_case(case, "--check", "--emulator", emulator + " .1000E+02 .1001E+02")
        self.assertEqual(done.returncode, 1)
        self.assertIn("ply[1].sigma-1", done.stderr)

    def test_picked_up_and_passing(self):
        done, manual = self.run_case(HAND_CASE.format(a11=106.67, explained=""))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("3 numbers: 3 pass, 0 explained, 0 fail", done.stdout)
        self.assertIn("our_unit_ply", manual)

    def test_a_wrong_value_fails_until_explained(self):
        done, _ = self.run_case(HAND_CASE.format(a11=106.0, explained=""))
        self.assertEqual(done.returncode, 1)
        # 100 / 0.9375 = 106.667: the source's value is the one off.
        self.assertIn("stiffness[1,1]: program .1067E+03, reference 106: outside its tolerance "
                      "and not explained; double precision 106.667: source differs from it",
                      done.stderr)
        done, manual = self.run_case(HAND_CASE.format(
            a11=106.0, explained='explained = "mistyped: 100 / 0.9375 is 106.67"\n'))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("mistyped: 100 / 0.9375 is 106.67", manual)

    def test_a_bad_case_is_shown_failed_and_the_others_run(self):
        good = HAND_CASE.format(a11=106.67, explained="")
        for bad, message in ((good.replace("angle = 0.0", "angel = -45"),
                              'a_bad.toml:13: unknown key "angel" in [[ply]] 1'),
                             (good.replace("value = -0.025", 'value = "-0.025"'),
                              "a_bad.toml:26: value must be a number, not a string"),
                             (good.replace("structural-zero = true", 'structural-zero = "false"'),
                              "a_bad.toml:32: structural-zero must be true or false"),
                             (good.split("[[ply]]")[0] + "[[expect]]" + good.split("[[expect]]", 1)[1],
                              "a_bad.toml:1: no [[ply]]")):
            with self.subTest(message=message):
                done, manual = self.run_case(good, others=[("a_bad.toml", bad)])
                self.assertEqual(done.returncode, 1)
                self.assertIn(message, done.stderr)
                self.assertIn("3 numbers: 3 pass, 0 explained, 0 fail", done.stdout)
                self.assertIn(html.escape(message), manual)
                self.assertIn("<td>a_bad</td>", manual.replace("<a href='#a_bad'>", "").replace("</a>", ""))

    def test_the_strength_chapter_needs_the_strength_command(self):
        good = HAND_CASE.format(a11=106.67, explained="")
        # uniaxial_shear.toml compares 13 strength numbers, each closed-form.
        for kit, options, status, line in (
                (str(KIT), (), 0, "strength chapter: 1 cases, 13 numbers: 13 pass, 0 explained, 0 fail"),
                ("TMP/kit_without_strength", (), 1,
                 "strength chapter: 1 cases, 13 numbers: 0 pass, 0 explained, 13 fail"),
                (str(KIT), ("--strength-cases", "TMP/none"), 2, "")):
            with self.subTest(kit=kit, options=options):
                done, manual = self.run_case(good, *options, strength=["uniaxial_shear.toml"], kit=kit)
                self.assertEqual(done.returncode, status, done.stderr)
                self.assertIn(line, done.stdout)
                if status == 1:
                    self.assertIn("has no strength command", done.stderr)
                    self.assertIn("has no strength command", manual)
                if status == 2:
                    self.assertIn("no folder of cases", done.stderr)
                    self.assertEqual(manual, "")

    def test_a_stale_explanation_fails(self):
        done, _ = self.run_case(HAND_CASE.format(a11=106.67, explained='explained = "old"\n'))
        self.assertEqual(done.returncode, 1)
        self.assertIn("stale", done.stderr)


if __name__ == "__main__":
    unittest.main()
