"""strength: each ply's stresses, strains and failure criteria at its three faces, the first-ply
and (by ply discount, each step a run of the program) the last-ply failure of each criterion;
all computed by the kit's library (kit/strength.h, kit/discount.h), under the names of
`lamvis2-kit strength --json` (doc/names.md). This file arranges them as tables."""

from __future__ import annotations

import math
import numbers
import os
from concurrent.futures import ThreadPoolExecutor
from typing import Any, Optional, Sequence, Union

import pandas as pd

from . import _kit, _program
from ._errors import IncompleteRunError, InputError, ProgramError, UnknownQuantityError

FACES = ["bottom", "middle", "top"]
PLY_COLUMNS = ["sigma-1", "sigma-2", "sigma-12", "eps-1", "eps-2", "gamma-12"]
LOADS = ["nx", "ny", "nxy", "mx", "my", "mxy"]

Criteria = Union[str, Sequence[str], None]


class Strength:
    """The strength of a run: `quantities` (name, value, text, note: the strength names of
    `lamvis2-kit strength --json`, in its order), `plies` (a row a ply and face: stresses,
    strains, and each criterion's R, failure index and mode), `first_ply` and `last_ply` (a row
    a criterion), `text` (the report `lamvis2-kit strength` prints) and `value(name)`."""

    def __init__(self, criteria: list[str], plies: int, rows: list[tuple], text: str,
                 last_ply: bool, factor: Optional[float]) -> None:
        self.criteria = criteria
        self.factor = factor
        self.text = text
        self.quantities = pd.DataFrame(rows, columns=["name", "value", "text", "note"])
        self.quantities["value"] = self.quantities["value"].astype(float)
        self._by_name = {name: (math.nan if v is None else v, t) for name, v, t, _ in rows}
        self._plies = plies
        self._last = last_ply

    def __repr__(self) -> str:
        return f"<lamvis2.Strength {', '.join(self.criteria)}, {self._plies} plies>"

    def _get(self, name: str) -> tuple[float, str]:
        if name not in self._by_name:
            raise UnknownQuantityError(f"{name}: not a strength quantity of this computation")
        return self._by_name[name]

    def value(self, name: str) -> float:
        """The value of a strength quantity (NaN for one that is text: a mode, a face, infinite)."""
        return self._get(name)[0]

    def text_of(self, name: str) -> str:
        return self._get(name)[1]

    @property
    def plies(self) -> pd.DataFrame:
        columns = list(PLY_COLUMNS)
        for c in self.criteria:
            columns += [c, f"{c}.index", f"{c}.mode"]
        data = []
        for k in range(1, self._plies + 1):
            for face in FACES:
                row = []
                for col in columns:
                    v, t = self._by_name[f"ply[{k}].{face}.{col}"]
                    row.append(t if col.endswith(".mode") else (math.inf if t == "infinite" else v))
                data.append(row)
        index = pd.MultiIndex.from_product([range(1, self._plies + 1), FACES], names=["ply", "face"])
        return pd.DataFrame(data, columns=columns, index=index)

    def _per_criterion(self, prefix: str, fields: list[str]) -> pd.DataFrame:
        data = []
        for c in self.criteria:
            base = f"{prefix}.{c}"
            v, t = self._by_name[base]
            row: dict[str, Any] = {"R": math.inf if t == "infinite" else v}
            for f in fields:
                got = self._by_name.get(f"{base}.{f}")
                if got is None:
                    row[f] = math.nan if f not in ("face", "mode") else None
                elif f in ("face", "mode"):
                    row[f] = got[1]
                elif f in ("ply", "steps", "runs"):
                    row[f] = int(got[0])
                else:
                    row[f] = got[0]
            data.append(row)
        return pd.DataFrame(data, index=pd.Index(self.criteria, name="criterion"))

    @property
    def first_ply(self) -> pd.DataFrame:
        """Per criterion: R, ply, face, mode, the failure loads (R times each load) and, with a
        factor, the margin R/F - 1. R is inf where no load factor reaches the surface."""
        return self._per_criterion("first-ply", ["ply", "face", "mode", *LOADS]
                                   + (["margin"] if self.factor is not None else []))

    @property
    def last_ply(self) -> pd.DataFrame:
        """Per criterion: R (NaN where not reached), the loads, the steps, the runs and why the
        steps ended."""
        if not self._last:
            raise InputError("strength: last-ply failure was not asked (last_ply=True)")
        frame = self._per_criterion("last-ply", [*LOADS, "steps", "runs"])
        frame["note"] = [self.quantities.loc[self.quantities["name"] == f"last-ply.{c}", "note"].iloc[0]
                         for c in self.criteria]
        return frame


def _criteria(criteria: Criteria) -> tuple[str, list[str]]:
    if criteria is None:
        criteria = "all"
    if not isinstance(criteria, str):
        try:
            parts = list(criteria)
        except TypeError:
            raise InputError(f"criteria: names are expected, not {type(criteria).__name__}") from None
        if not parts or not all(isinstance(c, str) for c in parts):
            raise InputError("criteria: a list of criterion names is expected")
        criteria = ",".join(parts)
    names, bad = _kit.criteria_named(criteria)
    if names is None:
        raise InputError(f"criteria: unknown criterion \"{bad}\" (max-stress, max-strain, tsai-hill, tsai-wu, "
                         "hoffman, hashin, all)")
    return criteria, names


def _strengths_text(strengths: Any) -> tuple[str, str]:
    """(text, name) of strengths given as a file (a path) or as text (TOML, several lines)."""
    if isinstance(strengths, (bytes, bytearray)):
        return bytes(strengths).decode("utf-8", "surrogateescape"), "strengths"
    if isinstance(strengths, str) and "\n" in strengths:
        return strengths, "strengths"
    if isinstance(strengths, (str, os.PathLike)):
        return _program.read_answer_file(strengths).decode("utf-8", "surrogateescape"), os.fspath(strengths)
    raise InputError(f"strengths: a strengths file or its text is expected, not {type(strengths).__name__}")


def strength(result: Any, criteria: Criteria = None, factor: Optional[float] = None,
             strengths: Any = None, last_ply: bool = False) -> Strength:
    """See Result.strength."""
    criteria_text, names = _criteria(criteria)
    if factor is not None:
        if isinstance(factor, bool) or not isinstance(factor, numbers.Real) or not (
                math.isfinite(factor) and factor > 0):
            raise InputError("factor: a load factor is a positive number")
        factor = float(factor)
    case_name, case_text = result._case or ("", "")
    strengths_text, strengths_name = ("", "") if strengths is None else _strengths_text(strengths)
    if strengths is not None and not strengths_text:
        raise InputError(f"{strengths_name}: holds no [[set]] tables")
    answers_name = result.name or "answers"
    # The run's printed stresses are needed: a run that ended before them has no strength.
    base = result._kit_results(False)
    if result.report is not None and base.quantity("ply[1].sigma-1") is None:
        raise IncompleteRunError(f"{answers_name}: the run ended in the report \""
                                 f"{result.report.replace(chr(10), ' / ')}\": no strength numbers")
    if base.quantity("ply[1].sigma-1") is None:
        raise IncompleteRunError(f"{answers_name}: the run ended before its ply stresses: no strength numbers")
    # An answer file's laminate is that of its inputs (found by runs on its prefixes); a case
    # file gives its own.
    with_inputs = result.answers is not None and not case_text
    results = result._kit_results(with_inputs)
    setup, error = _kit.strength_setup(results, case_text, case_name, strengths_text, strengths_name, answers_name)
    if setup is None:
        raise InputError(error)
    rows, text, error = _kit.strength(results, setup, criteria_text, factor)
    if error:
        raise InputError(f"{answers_name}: {error}")
    if last_ply:
        command = result._state[5] or _program.command()
        with ThreadPoolExecutor(max_workers=min(len(names), os.cpu_count() or 1)) as pool:
            runs = list(pool.map(lambda c: _kit.last_ply(command, setup, c), names))
        for more, steps, run_error in runs:
            if run_error:
                raise ProgramError(f"{answers_name}: last-ply failure: {run_error}")
            rows += more
            text += steps
    return Strength(names, setup.plies, rows, text, last_ply, factor)
