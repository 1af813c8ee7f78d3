"""Case files (verification/README.md describes the format) and the answer files made from
them."""

import math
import pathlib
import struct
import tomllib

MAX_SETS, MAX_PLIES = 10, 20
LOAD_KEYS = ("nx", "ny", "nxy", "mx", "my", "mxy")
SET_KEYS = {"e1", "e2", "nu12", "g12", "thickness", "creep-fraction"}
EXPECT_KEYS = {"name", "value", "printed", "unit", "where", "note", "explained",
               "structural-zero"}
CASE_KEYS = {"title", "source", "description", "derivation", "relaxation-time", "answers",
             "set", "ply", "loads", "expect", "checks"}


class CaseError(Exception):
    pass


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def g12_asked(e1, e2):
    """Whether the program asks the shear modulus: the relative difference of the moduli as
    stored (single precision), taken in double, against 0.001 as a single-precision
    constant."""
    e1, e2 = f32(e1), f32(e2)
    return abs((e1 - e2) / e1) >= f32(0.001)


class Case:
    def __init__(self, path):
        self.path = pathlib.Path(path)
        self.id = self.path.stem
        try:
            data = tomllib.loads(self.path.read_text(encoding="utf-8"))
        except tomllib.TOMLDecodeError as error:
            raise CaseError(f"{self.path}: {error}") from None
        unknown = set(data) - CASE_KEYS
        if unknown:
            raise CaseError(f"{self.path}: unknown keys {sorted(unknown)}")
        self.title = data.get("title", self.id)
        self.source = data.get("source", "")
        self.description = data.get("description", "")
        self.derivation = data.get("derivation", "")
        self.relaxation_time = float(data.get("relaxation-time", 1.0))
        self.notes = []
        if "answers" in data:
            self.answers_file = (self.path.parent / data["answers"]).resolve()
            if not self.answers_file.is_file():
                raise CaseError(f"{self.path}: no answer file {data['answers']}")
            self.sets = self.plies = self.loads = None
        else:
            self.answers_file = None
            self.sets = []
            for n, s in enumerate(data.get("set", []), 1):
                unknown = set(s) - SET_KEYS
                if unknown or not {"e1", "e2", "nu12", "thickness"} <= set(s):
                    raise CaseError(f"{self.path}: set {n} needs e1, e2, nu12, thickness "
                                    f"(and g12 unless e1 = e2), and has no other keys")
                material = {k: float(v) for k, v in s.items()}
                material.setdefault("creep-fraction", 0.0)
                if g12_asked(material["e1"], material["e2"]):
                    if "g12" not in material:
                        raise CaseError(f"{self.path}: set {n}: the program asks g12 "
                                        "(its moduli differ by 0.1% or more)")
                elif "g12" in material:
                    self.notes.append(
                        f"Set {n}: the moduli differ by less than 0.1%, so the program does "
                        f"not ask the shear modulus given ({material['g12']:g}) and takes "
                        f"E1 / (2 (1 + nu12)) = "
                        f"{material['e1'] / (2 * (1 + material['nu12'])):.6g} instead.")
                    del material["g12"]
                self.sets.append(material)
            if not self.sets:
                raise CaseError(f"{self.path}: no [[set]]")
            self.plies = []
            for p in data.get("ply", []):
                m = int(p["set"])
                if not 1 <= m <= len(self.sets):
                    raise CaseError(f"{self.path}: ply set {m} is not a defined set")
                self.plies.append((m, float(p.get("angle", 0.0))))
            loads = data.get("loads", {})
            unknown = set(loads) - set(LOAD_KEYS)
            if unknown:
                raise CaseError(f"{self.path}: unknown loads {sorted(unknown)}")
            self.loads = [float(loads.get(k, 0.0)) for k in LOAD_KEYS]
        self.expect = []
        for n, e in enumerate(data.get("expect", []), 1):
            unknown = set(e) - EXPECT_KEYS
            if unknown or not {"name", "value"} <= set(e):
                raise CaseError(f"{self.path}: expect {n}: needs name and value; "
                                f"unknown keys {sorted(unknown)}")
            self.expect.append(dict(e, value=float(e["value"]), unit=float(e.get("unit", 0.0))))
        if not self.expect:
            raise CaseError(f"{self.path}: no [[expect]]")

    def answers(self):
        """The answer file's text, one value a line."""
        if self.answers_file:
            return self.answers_file.read_text()
        lines = []
        for s in self.sets:
            lines += [s["e1"], s["e2"], s["nu12"]]
            if "g12" in s:
                lines.append(s["g12"])
            lines += [s["thickness"], s["creep-fraction"]]
        if len(self.sets) < MAX_SETS:  # after the tenth set the program asks no more
            lines.append(-1)
        for m, angle in self.plies:
            lines += [m, angle]
        if len(self.plies) < MAX_PLIES:  # nor after the twentieth ply
            lines.append(-1)
        lines += self.loads
        lines.append(self.relaxation_time)
        return "".join(f"{number(v)}\n" for v in lines)

    def thickness(self):
        return sum(self.sets[m - 1]["thickness"] for m, _ in self.plies)


def number(v):
    if isinstance(v, int):
        return str(v)
    if v == int(v) and abs(v) < 1e15:
        return str(int(v))
    return repr(v)


def load_all(directory):
    return [Case(p) for p in sorted(pathlib.Path(directory).glob("*.toml"))]
