"""The Python package's figures (printed; not a test):
- lamvis2.study of 1,000 grid points beside `lamvis2-kit study` of the same grid, each on
  all processors, wall time and their ratio (the rows, provenance columns included, are
  checked alike);
- the processor time of reading a results file into a Result (lamvis2.read of the largest
  case output), and of its first value(name).
  python3 bench/python/package_bench.py [BUILD]     (BUILD: default build, with python-package)"""

import io
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build").resolve()
sys.path.insert(0, str(BUILD / "python"))
sys.path.insert(0, str(ROOT / "fuzz"))
import pandas as pd  # noqa: E402

import lamvis2  # noqa: E402
from make_corpus import case_output_section  # noqa: E402

POINTS = 1000
QUANTITIES = ["nuxy", "ply[2].sigma-1", "relaxation[last].kappa-xx"]

with tempfile.TemporaryDirectory() as tmp:
    template = Path(tmp) / "template.txt"
    template.write_text(re.sub(r"(?m)^90$", "{ANGLE}", (ROOT / "examples" / "glass_cross_ply.txt").read_text()))
    # The kit runs the package's program: the rows' provenance (its path and SHA-256) alike.
    args = [str(BUILD / "lamvis2-kit"), "study", str(template), "--vary", f"ANGLE=0:{POINTS - 1}:1",
            "--program", str(lamvis2._program.BUNDLED)]
    for q in QUANTITIES:
        args += ["-q", q]
    start = time.perf_counter()
    kit = subprocess.run(args, capture_output=True, check=True)
    kit_seconds = time.perf_counter() - start
    start = time.perf_counter()
    df = lamvis2.study(template, {"ANGLE": range(POINTS)}, QUANTITIES, text=True)
    package_seconds = time.perf_counter() - start
    df["exit_status"] = df["exit_status"].astype(str)
    want = pd.read_csv(io.BytesIO(kit.stdout), dtype=str, keep_default_na=False)
    same = df.equals(want)
print(f"study of {POINTS} points: lamvis2-kit {kit_seconds:.2f} s, lamvis2.study {package_seconds:.2f} s, "
      f"ratio {package_seconds / kit_seconds:.2f}; rows alike: {same}")

cases = sorted((ROOT / "tests" / "cases").glob("*.case"), key=lambda c: len(case_output_section(c)))
largest = case_output_section(cases[-1])
with tempfile.TemporaryDirectory() as tmp:
    path = Path(tmp) / "largest.out"
    path.write_bytes(largest)
    for what, act in (("lamvis2.read", lambda: lamvis2.read(path)),
                      ("lamvis2.read + value(\"nuxy\")", lambda: lamvis2.read(path).value("nuxy"))):
        n = 2000
        start = time.process_time()
        for _ in range(n):
            act()
        each = (time.process_time() - start) / n
        print(f"{what} of {cases[-1].stem} ({len(largest)} bytes): {each * 1e6:.0f} us of processor time")
