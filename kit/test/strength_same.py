"""The kit's strength and envelope output of another build (wine, qemu) byte for byte the
native kit's: strength --json of the strength cases, --last-ply, and envelopes (CSV and SVG)
with first- and last-ply failure.
  python3 strength_same.py NATIVE_KIT OTHER_KIT ROOT
KIT_CHECKS_EMULATOR holds the words of the other build's emulator; the other kit finds its
program as it does anywhere ($LAMVIS2_PROGRAM, $LAMVIS2_EMULATOR, or beside it); the native
kit runs the native program beside it."""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

NATIVE, OTHER, ROOT = str(Path(sys.argv[1]).resolve()), str(Path(sys.argv[2]).resolve()), Path(sys.argv[3]).resolve()
EMULATOR = os.environ.get("KIT_CHECKS_EMULATOR", "").split()
NATIVE_ENV = {k: v for k, v in os.environ.items() if k not in ("LAMVIS2_PROGRAM", "LAMVIS2_EMULATOR")}

strength_cases = sorted((ROOT / "verification" / "strength").glob("*.toml"))
c6 = ROOT / "verification" / "strength" / "aerospatiale_C6_tsai_hill.toml"
failures = []
with tempfile.TemporaryDirectory() as tmp:
    tmp = Path(tmp)
    commands = [("strength", case, "--json") for case in strength_cases]
    commands += [("strength", c6, "--last-ply", "--criteria", "tsai-wu,max-stress", "--factor", "1.5"),
                 ("envelope", c6, "--plane", "nx,nxy", "--points", "24", "--criteria", "all", "--svg", "SVG"),
                 ("envelope", c6, "--plane", "mx,my", "--points", "6", "--last-ply", "--svg", "SVG")]
    for command in commands:
        outputs = []
        for name, kit, prefix, env in (("native", NATIVE, [], NATIVE_ENV), ("other", OTHER, EMULATOR, None)):
            svg = tmp / f"{name}.svg"
            args = [str(svg) if a == "SVG" else str(a) for a in command]
            r = subprocess.run([*prefix, kit, *args], capture_output=True, env=env, cwd=tmp)
            outputs.append((r.returncode, r.stdout, svg.read_bytes() if svg.exists() else b""))
        shown = " ".join(str(a) for a in command)
        if outputs[0][0] != 0:
            failures.append(f"{shown}: the native kit gives {outputs[0][0]}")
        elif outputs[0] != outputs[1]:
            failures.append(f"{shown}: the outputs differ (exit status {outputs[0][0]} and {outputs[1][0]})")
        print(f"{'same' if outputs[0] == outputs[1] else 'DIFFERENT'}: lamvis2-kit {shown}")

for f in failures:
    print(f)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
