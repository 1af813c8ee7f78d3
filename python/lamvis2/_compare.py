"""compare: two results number by number and by name, as `lamvis2-kit compare`."""

from __future__ import annotations

import json
import numbers
import os
from typing import Any, Optional, Union

import pandas as pd

from . import _kit
from ._errors import InputError
from ._result import Result, read

Results = Union[str, "os.PathLike[str]", Result]


class Comparison:
    """The kit's comparison: `agree`, `exit_status` (0 all agree, 1 a difference), `text` (the
    report `lamvis2-kit compare` prints), `json` (what `--json` writes), and the
    `differences` and `tables` as DataFrames."""

    def __init__(self, agree: bool, text: str, json_text: str) -> None:
        self.agree = agree
        self.text = text
        self.json: dict[str, Any] = json.loads(json_text)

    @property
    def exit_status(self) -> int:
        return 0 if self.agree else 1

    def __bool__(self) -> bool:
        return self.agree

    def __str__(self) -> str:
        return self.text

    def __repr__(self) -> str:
        return f"<lamvis2.Comparison agree={self.agree}, {len(self.json['differences'])} difference(s)>"

    @property
    def tables(self) -> pd.DataFrame:
        return pd.DataFrame(self.json["tables"], columns=["name", "count", "agree", "differ", "explained"])

    @property
    def differences(self) -> pd.DataFrame:
        rows = []
        for d in self.json["differences"]:
            a, n = d["archived"] or {}, d["new"] or {}
            rows.append({"name": d["name"], "table": d["table"], "archived": a.get("text"),
                         "new": n.get("text"), "archived_value": a.get("value"), "new_value": n.get("value"),
                         "absolute": d.get("absolute"), "relative": d.get("relative")})
        return pd.DataFrame(rows, columns=["name", "table", "archived", "new", "archived_value", "new_value",
                                           "absolute", "relative"])


def _tolerance(name: str, v: Optional[float]) -> float:
    if v is None:
        return 0.0
    if isinstance(v, bool) or not isinstance(v, numbers.Real) or not v >= 0 or v == float("inf"):
        raise InputError(f"{name}: a number from 0 is expected, not {v!r}")
    return float(v)


def _results(r: Results) -> Result:
    return r if isinstance(r, Result) else read(r)


def compare(archived: Results, new: Results, *, rel: Optional[float] = None, abs: Optional[float] = None,
            legacy: bool = False) -> Comparison:
    """Compares `archived` with `new` (each a results file's path or a Result): numbers agree
    when printed alike, or within `abs` absolutely or `rel` relative to the smaller;
    `legacy` lists the legacy program's known departures apart."""
    relative, absolute = _tolerance("rel", rel), _tolerance("abs", abs)
    a, n = _results(archived), _results(new)
    agree, text, json_text = _kit.compare(a._base, n._base, relative, absolute, bool(legacy))
    return Comparison(agree, text, json_text)
