"""A run's results: the bytes the program wrote, read by the kit's reader, every number by its
name (doc/names.md), as numpy arrays and pandas tables."""

from __future__ import annotations

import math
import os
from typing import TYPE_CHECKING, Any, Optional, Sequence, Union

import numpy as np
import pandas as pd

from . import _kit, _program
from ._errors import IncompleteRunError, InputError, NotResultsError, UnknownQuantityError

if TYPE_CHECKING:
    from ._strength import Strength

DEFORMATION = ["eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy"]
STRESSES = ["sigma-1", "sigma-2", "sigma-12"]


class Result:
    """The results of one run: `results` (the bytes of standard output), `stderr`,
    `exit_status`, `report`, and each number by name. With the run's answers, the inputs
    (`set[1].e1`, `ply[2].angle`, ...) and the quantities derived from them (`thickness`,
    `Ex`, ...) are found on first use, by runs of the program on the answers' prefixes."""

    def __init__(self, results: bytes, *, stderr: Optional[bytes] = None, exit_status: Optional[int] = None,
                 answers: Optional[bytes] = None, name: str = "", program: Optional[list[str]] = None,
                 case: Optional[tuple[str, str]] = None) -> None:
        # `case`: (name, text) of the case file that gave the answers, for its strengths.
        self._state = (bytes(results), stderr, exit_status, answers, name, program, case)
        self._load()

    def _load(self) -> None:
        out, err, status, answers, name = self._state[:5]
        self._case: Optional[tuple[str, str]] = self._state[6] if len(self._state) > 6 else None
        self._base = _kit.read_results(name, out, err, status)
        if not self._base.ok:
            raise NotResultsError(f"{name}:{self._base.error_line}: {self._base.error}")
        self._derived: Any = None   # with the derived quantities (of the results alone)
        self._whole: Any = None     # with the inputs of the answers too
        self._pairing: Any = None
        self._notes: list[str] = []

    # Pickled as what the run gave; read again where it lands.
    def __getstate__(self) -> tuple:
        return self._state

    def __setstate__(self, state: tuple) -> None:
        self._state = state
        self._load()

    def __repr__(self) -> str:
        end = "complete" if self.complete else f"ended: {self.report or self._base.where}"
        return f"<lamvis2.Result {self.name!r} exit status {self.exit_status}, {end}>"

    # What the run gave.
    @property
    def name(self) -> str:
        return self._state[4]

    @property
    def results(self) -> bytes:
        """The results bytes as the program wrote them (its standard output)."""
        return self._state[0]

    @property
    def stderr(self) -> Optional[bytes]:
        return self._state[1]

    @property
    def answers(self) -> Optional[bytes]:
        return self._state[3]

    @property
    def exit_status(self) -> int:
        """The run's exit status (read from a file alone: the one its end implies)."""
        status = self._state[2]
        return self._base.exit_status if status is None else status

    @property
    def report(self) -> Optional[str]:
        """The run-time error report that ended the run (its lines joined by a line end), or None."""
        return self._base.report

    @property
    def complete(self) -> bool:
        """Whether the run went from the banner to the last row of the relaxation table."""
        return self._base.complete

    @property
    def sha256(self) -> str:
        return self._base.sha256

    @property
    def warnings(self) -> list[str]:
        return [*self._kit_results(inputs=self.answers is not None).warnings, *self._notes,
                *self._pairing_warnings()]

    # The kit's view.
    def _kit_results(self, inputs: bool) -> Any:
        if not inputs or self.answers is None:
            if self._derived is None:
                self._derived = _kit.with_derived(self._base, [])
            return self._derived
        if self._whole is None:
            command = self._state[5] or _program.command()
            self._pairing = _program.pair_inputs(command, self.answers, self.name or "answers")
            self._whole = _kit.with_derived(self._base, self._pairing.inputs)
            if self._case is not None:  # a case file's strengths: the strength quantities too
                self._whole = _kit.with_case_strength(self._whole, self._case[1], self._case[0])
        return self._whole

    def _pairing_warnings(self) -> list[str]:
        p, name = self._pairing, self.name or "answers"
        if p is None:
            return []
        w = []
        if p.ended_early:
            w.append(f"{name}: the answer file ends while the program still asks")
        if p.unused_lines > 0:
            w.append(f"{name}: {p.unused_lines} line(s) after the run's end are not read")
        return w

    def _find(self, name: str) -> Optional[tuple]:
        if not isinstance(name, str) or not _kit.is_quantity_name(name):
            raise UnknownQuantityError(f"{name}: no quantity has this name (doc/names.md lists them)")
        inputs = self.answers is not None and _kit.needs_inputs([name])
        return self._kit_results(inputs).quantity(name)

    def _missing(self, name: str) -> Exception:
        if not self.complete:
            end = self.report.replace("\n", " / ") if self.report else self._base.where
            return IncompleteRunError(f"{name}: not printed: the run ended before it ({end})")
        if _kit.needs_inputs([name]) and self.answers is None:
            return UnknownQuantityError(f"{name}: an input, or derived from the inputs: "
                                        "these results come without their answers")
        return UnknownQuantityError(f"{name}: not in these results")

    def value(self, name: str) -> float:
        """The value of the quantity `name` (NaN for a field printed as asterisks, or an answer
        that is no number)."""
        q = self._find(name)
        if q is None:
            raise self._missing(name)
        return math.nan if q[0] is None else q[0]

    def text(self, name: str) -> str:
        """The quantity `name` as printed (an input: as answered; derived: shortest)."""
        q = self._find(name)
        if q is None:
            raise self._missing(name)
        return q[5]

    def _table(self, names: list[str], shape: tuple) -> np.ndarray:
        r = self._kit_results(False)
        if r.quantity(names[-1]) is None:
            raise self._missing(names[-1])
        return r.values(names, list(shape))

    @property
    def stiffness(self) -> np.ndarray:
        """The laminate stiffness matrix, 6 x 6 ([0:3, 0:3] is A, [0:3, 3:6] B, [3:6, 3:6] D)."""
        return self._table([f"stiffness[{i},{j}]" for i in range(1, 7) for j in range(1, 7)], (6, 6))

    @property
    def compliance(self) -> np.ndarray:
        """The laminate compliance matrix, 6 x 6."""
        return self._table([f"compliance[{i},{j}]" for i in range(1, 7) for j in range(1, 7)], (6, 6))

    @property
    def deformation(self) -> pd.Series:
        """The mid-plane strains and curvatures, eps-xx ... kappa-xy."""
        return pd.Series(self._table(DEFORMATION, (6,)), index=DEFORMATION, name="deformation")

    @property
    def stresses(self) -> pd.DataFrame:
        """The ply stresses at mid-thickness in material axes, a row a ply (bottom ply 1)."""
        r = self._kit_results(False)
        if r.quantity("kappa-xy") is None or (not self.complete and r.quantity("ply[1].sigma-12") is None):
            raise self._missing("ply[1].sigma-1")
        plies = 0
        while r.quantity(f"ply[{plies + 1}].sigma-12") is not None:
            plies += 1
        names = [f"ply[{k}].{c}" for k in range(1, plies + 1) for c in STRESSES]
        a = r.values(names, [plies, 3])
        return pd.DataFrame(a, columns=STRESSES, index=pd.RangeIndex(1, plies + 1, name="ply"))

    @property
    def relaxation(self) -> pd.DataFrame:
        """The relaxation table: a row a time, its creep strains and curvatures."""
        if not self.complete:
            raise self._missing("relaxation[last].time")
        r = self._kit_results(False)
        rows = r.relaxation_rows
        columns = ["time"] + DEFORMATION
        a = r.values([f"relaxation[{n}].{c}" for n in range(1, rows + 1) for c in columns], [rows, 7])
        return pd.DataFrame(a, columns=columns, index=pd.RangeIndex(1, rows + 1, name="row"))

    @property
    def quantities(self) -> pd.DataFrame:
        """Every quantity: name, value, text, kind, table, line, note, prompt and answer, in
        the kit's order (`lamvis2-kit read`)."""
        return pd.DataFrame(self._kit_results(True).columns())

    def strength(self, criteria: Union[str, Sequence[str], None] = None, factor: Optional[float] = None,
                 strengths: Any = None, last_ply: bool = False) -> "Strength":
        """The strength of this run, as `lamvis2-kit strength` gives it: each ply's stresses and
        strains at its bottom, middle and top faces, each criterion's strength ratio R, failure
        index and mode (`plies`), the first-ply failure of each criterion (`first_ply`: R, ply,
        face, mode, the failure loads, and with `factor`, ultimate over limit load, the margin
        R/F - 1) and with `last_ply` the last-ply failure by ply discount, each step a run of
        the program (`last_ply`). `criteria`: names or a comma-separated list (max-stress,
        max-strain, tsai-hill, tsai-wu, hoffman, hashin; default all). The strengths are those
        of the case file run, or `strengths`: a strengths file ([[set]] tables in set order) or
        its text."""
        from ._strength import strength
        return strength(self, criteria, factor, strengths, last_ply)

    def to_json(self) -> str:
        """The kit's JSON of these results, as `lamvis2-kit read --json` writes it."""
        return self._kit_results(True).json() + "\n"


def read(path: str | os.PathLike, *, answers: Optional[str | os.PathLike] = None,
         stderr: Optional[str | os.PathLike] = None) -> Result:
    """A results file read from disk (as `lamvis2-kit read`); with its answer file or case file,
    the inputs too."""
    if not isinstance(path, (str, os.PathLike)):
        raise InputError(f"a path is expected, not {type(path).__name__}")
    name = os.fspath(path)
    try:
        with open(name, "rb") as f:
            data = f.read()
    except OSError as e:
        raise InputError(f"{name}: {e.strerror or e}") from None
    err, status, warnings = None, None, []
    given = None if answers is None else _program.read_answers(answers)
    if stderr is not None:
        err = _program.read_answer_file(stderr)
    elif given is not None:
        # With the bytes that this file holds, a run of its answers also tells how it ended.
        run = _program.run(_program.command(), given)
        if run.out == data:
            err, status = run.err, run.status
        else:
            warnings.append(f"the answers {os.fspath(answers)} do not give this file's bytes: the inputs are "
                            "those of a new run of the program")
    r = Result(data, stderr=err, exit_status=status, answers=given, name=name,
               case=None if answers is None else _program.case_of(answers))
    r._notes = warnings
    return r
