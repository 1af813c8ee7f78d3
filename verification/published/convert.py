#!/usr/bin/env python3
"""Converts published-cases.json (beside this script) into one case file per published
example in verification/cases/, in the case format of verification/README.md.

Run once; the case files are then the cases, and explanations are written into them by
hand. Running it again rewrites the converted files, so it refuses to overwrite a case file
that has been edited (one with an `explained` line) unless --force is given.

Names: the sources' Voigt names A11..D66 (indices 1, 2, 6) and ABDij become
stiffness[i,j]; eps_x, eps_y, gam_xy, kap_x, kap_y, kap_xy become eps-xx, eps-yy, eps-xy,
kappa-xx, kappa-yy, kappa-xy; plyN.s1, .s2, .s12 become ply[N].sigma-1, -2, -12; the
engineering constants keep their names (Ex, Ey, Gxy, nuxy, nuyx, Efx).
"""

import argparse
import json
import math
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
CASES = HERE.parent / "cases"

VOIGT = {"1": 1, "2": 2, "6": 3}
BLOCK_OFFSET = {"A": (0, 0), "B": (0, 3), "D": (3, 3)}
DEFORMATIONS = {"eps_x": "eps-xx", "eps_y": "eps-yy", "gam_xy": "eps-xy",
                "kap_x": "kappa-xx", "kap_y": "kappa-yy", "kap_xy": "kappa-xy"}
STRESSES = {"s1": "sigma-1", "s2": "sigma-2", "s12": "sigma-12"}
DERIVED = {"Ex", "Ey", "Gxy", "nuxy", "nuyx", "Efx", "Efy", "Gfxy"}
LOADS = (("Nx", "nx"), ("Ny", "ny"), ("Nxy", "nxy"), ("Mx", "mx"), ("My", "my"), ("Mxy", "mxy"))


def quantity_name(source_name):
    """The kit's name of a quantity named as in published-cases.json."""
    m = re.fullmatch(r"([ABD])([126])([126])", source_name)
    if m:
        row, column = BLOCK_OFFSET[m.group(1)]
        return f"stiffness[{row + VOIGT[m.group(2)]},{column + VOIGT[m.group(3)]}]"
    m = re.fullmatch(r"ABD([1-6])([1-6])", source_name)
    if m:
        return f"stiffness[{m.group(1)},{m.group(2)}]"
    if source_name in DEFORMATIONS:
        return DEFORMATIONS[source_name]
    m = re.fullmatch(r"ply(\d+)\.(s1|s2|s12)", source_name)
    if m:
        return f"ply[{int(m.group(1))}].{STRESSES[m.group(2)]}"
    if source_name in DERIVED:
        return source_name
    raise ValueError(f"no name for the quantity {source_name!r}")


def toml_string(text):
    return json.dumps(text, ensure_ascii=False)


def toml_number(value):
    if isinstance(value, int) or float(value).is_integer() and abs(value) < 1e15:
        return repr(float(value))
    text = repr(float(value))
    return text if ("e" in text or "." in text) else text + ".0"


def case_text(case):
    lines = [
        f"# Converted from published/published-cases.json ({case['name']}) by",
        "# published/convert.py. The values and their printed texts are the source's.",
        f"title = {toml_string(case['name'])}",
        f"source = {toml_string(case['source'])}",
        f"description = {toml_string(case['remark'])}",
        "relaxation-time = 1.0",
        "",
    ]
    for material in case["materials"]:
        lines.append("[[set]]")
        lines.append(f"e1 = {toml_number(material['E1'])}")
        lines.append(f"e2 = {toml_number(material['E2'])}")
        lines.append(f"nu12 = {toml_number(material['nu12'])}")
        if material.get("G12") is not None:
            lines.append(f"g12 = {toml_number(material['G12'])}")
        lines.append(f"thickness = {toml_number(material['thickness'])}")
        lines.append("creep-fraction = 0.0")
        lines.append("")
    for ply in case["plies_bottom_up"]:
        lines.append("[[ply]]")
        lines.append(f"set = {int(ply['material_set'])}")
        lines.append(f"angle = {toml_number(ply['angle_deg'])}")
        lines.append("")
    lines.append("[loads]")
    for source_key, key in LOADS:
        lines.append(f"{key} = {toml_number(case['loads'][source_key])}")
    lines.append("")
    for expected in case["expected"]:
        lines.append("[[expect]]")
        lines.append(f"name = {toml_string(quantity_name(expected['quantity']))}")
        lines.append(f"value = {toml_number(expected['value'])}")
        lines.append(f"printed = {toml_string(expected['as_printed_by_source'])}")
        lines.append(f"unit = {toml_number(expected['unit_of_last_digit'])}")
        if expected["value"] == 0.0:
            lines.append("structural-zero = true")
        if expected.get("note"):
            lines.append(f"note = {toml_string(expected['note'])}")
        lines.append("")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--force", action="store_true",
                        help="overwrite case files that carry explanations")
    args = parser.parse_args()
    data = json.loads((HERE / "published-cases.json").read_text())
    CASES.mkdir(exist_ok=True)
    count = 0
    for case in data["cases"]:
        path = CASES / f"{case['name']}.toml"
        if path.exists() and "explained" in path.read_text() and not args.force:
            print(f"{path.name}: has explanations; left as it is (--force overwrites)",
                  file=sys.stderr)
            continue
        path.write_text(case_text(case))
        count += len(case["expected"])
    print(f"{len(data['cases'])} cases, {count} numbers written to {CASES}")


if __name__ == "__main__":
    main()
