"""lamvis2 for Python: the program run as a process (the one this package carries), its every
printed number read by the kit's library under the names of doc/names.md, as numpy arrays and
pandas tables; studies over a grid on any concurrent.futures executor; comparisons.

    import lamvis2
    r = lamvis2.run("examples/glass_cross_ply.txt")
    r.value("stiffness[1,1]"), r.stiffness, r.deformation, r.stresses, r.relaxation
    r.strength(criteria=["tsai-wu", "hashin"], factor=1.5).first_ply   # a case file's strengths
    lamvis2.study("template.txt", vary={"ANGLE": range(0, 91, 15)}, quantities=["Ex", "nuxy"])
    lamvis2.compare("archive/glass.out", r)
"""

from __future__ import annotations

import os
from typing import Optional

from . import _kit, _program
from ._compare import Comparison, compare
from ._errors import (IncompleteRunError, InputError, Lamvis2Error, NotResultsError, ProgramError, StudyError,
                      UnknownQuantityError)
from ._result import Result, read
from ._strength import Strength
from ._study import PROVENANCE_COLUMNS, StudyRow, run_many, study, study_rows

__all__ = ["run", "read", "run_many", "study", "study_rows", "compare", "Result", "Strength", "Comparison", "StudyRow",
           "Lamvis2Error", "InputError", "NotResultsError", "UnknownQuantityError", "IncompleteRunError",
           "ProgramError", "StudyError", "MAX_GRID_POINTS", "PROVENANCE_COLUMNS", "__version__"]

__version__ = "1.0.0"
MAX_GRID_POINTS: int = _kit.MAX_GRID_POINTS


def run(path: Optional[str | os.PathLike] = None, *, answers: Optional[str | bytes] = None,
        program: Optional[str | os.PathLike] = None) -> Result:
    """Runs the program once on an answer file or case file (`path`, a .toml file: the answers
    it gives) or on `answers` given as text, as
    `lamvis2 < answers` runs it, and reads what it printed. The program is the one this
    package carries unless `program` (or $LAMVIS2_PROGRAM) names another."""
    if (path is None) == (answers is None):
        raise InputError("run: give either an answer file or answers= (the answers as text)")
    data = _program.read_answers(path) if path is not None else _program.answer_bytes(answers)
    name = os.fspath(path) if path is not None else "answers"
    command = _program.command(program)
    r = _program.run(command, data)
    results = _kit.read_results(name, r.out, r.err, r.status)
    if not results.ok:
        raise NotResultsError(f"{name}: the program's output is not a results file: {results.error}")
    case = _program.case_of(path) if path is not None else None
    return Result(r.out, stderr=r.err, exit_status=r.status, answers=data, name=name, program=command, case=case)
