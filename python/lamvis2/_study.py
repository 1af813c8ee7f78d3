"""study: an answer-file template with {NAME} placeholders run over a grid of values, a row a
run, as `lamvis2-kit study` gives it; and run_many. Any concurrent.futures.Executor runs them."""

from __future__ import annotations

import numbers
import os
from concurrent.futures import Executor
from typing import Any, Iterable, Iterator, Mapping, NamedTuple, Optional, Sequence, Union

import pandas as pd

from . import _kit, _pool, _program
from ._errors import InputError, NotResultsError, ProgramError, UnknownQuantityError
from ._result import Result

Values = Union[str, Iterable[Any]]


class StudyRow(NamedTuple):
    """A run of a study: its place in the grid, the values put in, how it ended, and the
    quantities (`values`: as numbers, NaN for none; `texts`: the kit's cells); then where its
    numbers come from, the kit's provenance columns (PROVENANCE_COLUMNS: sha256, complete,
    warnings, kit, program, program_sha256), typed as the kit's JSON lines give them
    (`provenance`: complete a bool, warnings a list of texts, the rest texts) and as its CSV
    cells (`provenance_texts`)."""
    index: int
    vary: dict[str, Any]
    exit_status: int
    report: Optional[str]
    values: dict[str, float]
    texts: dict[str, str]
    provenance: dict[str, Any]
    provenance_texts: dict[str, str]


# The columns that end each row of a study, after its quantities, as the kit's study ends them.
PROVENANCE_COLUMNS: list[str] = list(_kit.PROVENANCE_COLUMNS)


def _value_text(name: str, v: Any) -> str:
    if isinstance(v, str):
        return v
    if isinstance(v, bool) or not isinstance(v, numbers.Real):
        raise InputError(f"vary {name}: {v!r} is not a number or text")
    if isinstance(v, numbers.Integral):
        return str(int(v))
    return _kit.value_text(float(v))


def _ranges(vary: Mapping[str, Values]) -> list[tuple[str, list[str], list[Any]]]:
    """(name, texts, values) of each range, checked by the kit's rules."""
    if not isinstance(vary, Mapping) or not vary:
        raise InputError("vary: a mapping of each placeholder's name to its values is expected")
    ranges = []
    for name, spec in vary.items():
        if not isinstance(name, str):
            raise InputError(f"vary: the name {name!r} is not text")
        if isinstance(spec, str):
            # FROM:TO:STEP (or one value), as --vary NAME=FROM:TO:STEP reads it.
            parsed, error = _kit.parse_range(f"{name}={spec}")
            if parsed is None:
                raise InputError(error.replace("--vary ", "vary ", 1))
            ranges.append((name, list(parsed[1]), list(parsed[1])))
            continue
        parsed, error = _kit.parse_range(f"{name}=0")  # the name's own rules
        if parsed is None:
            raise InputError(error.replace("--vary ", "vary ", 1))
        try:
            values = list(spec)
        except TypeError:
            raise InputError(f"vary {name}: values are expected, not {type(spec).__name__}") from None
        if not values:
            raise InputError(f"vary {name}: the range yields no value")
        ranges.append((name, [_value_text(name, v) for v in values], values))
    return ranges


def _columns(quantities: Optional[Sequence[str]]) -> Optional[list[str]]:
    if quantities is None:
        return None
    if isinstance(quantities, str):
        quantities = [quantities]
    out = list(quantities)
    for q in out:
        if not isinstance(q, str) or not _kit.is_quantity_name(q):
            raise UnknownQuantityError(f"{q}: no quantity has this name (doc/names.md lists them)")
    return out


def _point(command: list[str], template: bytes, names: list[str], texts: list[str],
           columns: Optional[list[str]], with_inputs: bool, case: str = "",
           provenance: tuple[str, str, str] = ("", "", "")) -> tuple:
    """One run of a study, where the executor runs it: the filled template (a case file's
    answers once filled, when `case` names it) run and read as the kit's study runs and reads
    it (its inputs paired when a column needs them, a pairing that fails a warning; a case
    file's strength quantities);
    (exit status, report, [(name, cell, value)], provenance cells, provenance values), the
    provenance of `provenance` (kit, program, program_sha256)."""
    filled = _kit.fill(template.decode("utf-8", "surrogateescape"), names, texts)
    if case:
        answers, error = _kit.case_file_answers(case, filled)
        if answers is None:
            raise InputError(error)
    else:
        answers = filled.encode("utf-8", "surrogateescape")
    if with_inputs and len(_kit.answer_lines(answers)) > _program.ANSWER_LINES_LIMIT:
        raise InputError(f"the filled template:{_program.ANSWER_LINES_LIMIT + 1}: more lines than an answer "
                         "file of the program has")
    # A case file's strengths give its strength quantities, and the last-ply failures named.
    results, error, run_failed = _kit.run_and_read(command, answers, with_inputs, filled if case else "", case,
                                                   columns or [])
    if error:
        raise (ProgramError if run_failed else NotResultsError)(error)
    cells, values = results.provenance(provenance)
    return results.exit_status, results.report, results.row(columns), cells, values


def study_rows(template: Optional[str | os.PathLike] = None, vary: Optional[Mapping[str, Values]] = None,
               quantities: Optional[Sequence[str]] = None, *, answers: Optional[str] = None,
               executor: Optional[Executor] = None, program: Optional[str | os.PathLike] = None,
               in_flight: Optional[int] = None) -> Iterator[StudyRow]:
    """The rows of a study as they finish (see study)."""
    if (template is None) == (answers is None):
        raise InputError("study: give either a template file or answers= (the template as text)")
    data = _program.read_answer_file(template) if template is not None else _program.answer_bytes(answers)
    where = os.fspath(template) if template is not None else "answers"
    text = data.decode("utf-8", "surrogateescape")
    ranges = _ranges(vary if vary is not None else {})
    names = [n for n, _, _ in ranges]
    found = _kit.placeholders(text)
    for p, line in found:
        if p not in names:
            raise InputError(f"{where}:{line}: the placeholder {{{p}}} is given no values (vary {p}=...)")
    for n in names:
        if n not in [p for p, _ in found]:
            raise InputError(f"{where}: has no placeholder {{{n}}} for vary {n}")
    grid = _kit.Grid([(n, t) for n, t, _ in ranges])
    size, error = grid.size()
    if not size:
        raise InputError(f"study: {error}")
    columns = _columns(quantities)
    command = _program.command(program)
    # Without quantities named, every one: the derived ones need the inputs.
    with_inputs = not columns or _kit.needs_inputs(columns)
    case = where if template is not None and _kit.is_case_file(where) else ""
    provenance = _kit.provenance(command)

    def point(i: int) -> tuple[list, list]:
        at, texts = grid.point(i)
        return at, texts

    def jobs() -> Iterator[tuple]:
        for i in range(size):
            yield command, data, names, point(i)[1], columns, with_inputs, case, provenance

    def what(i: int) -> str:
        return "study, " + ", ".join(f"{n}={t}" for n, t in zip(names, point(i)[1]))

    for i, (status, report, row, cells, values) in _pool.as_finished(_point, jobs(), executor=executor,
                                                                     in_flight=in_flight, what=what):
        at, _ = point(i)
        yield StudyRow(i, {n: ranges[k][2][at[k]] for k, n in enumerate(names)}, status, report,
                       {q: float("nan") if v is None else v for q, _, v in row}, {q: c for q, c, _ in row},
                       dict(zip(PROVENANCE_COLUMNS, values)), dict(zip(PROVENANCE_COLUMNS, cells)))


def study(template: Optional[str | os.PathLike] = None, vary: Optional[Mapping[str, Values]] = None,
          quantities: Optional[Sequence[str]] = None, *, answers: Optional[str] = None,
          executor: Optional[Executor] = None, program: Optional[str | os.PathLike] = None,
          in_flight: Optional[int] = None, text: bool = False) -> pd.DataFrame:
    """Runs the answer-file `template` (a path, or `answers=` the template as text) with each
    {NAME} replaced by each value of `vary[NAME]` (an iterable, or "FROM:TO:STEP" as the kit
    reads it), over the grid (the first name varies slowest): a DataFrame, a row a run in the
    grid's order, with the values, exit_status, report, the `quantities` (all printed and
    derived ones when None) and where the numbers come from (sha256 of the results, complete,
    warnings, kit, program, program_sha256), as `lamvis2-kit study` gives it. The runs go to
    `executor` (a pool on this machine by default), at most `in_flight` at a time. The
    provenance is typed as the kit's JSON lines give it (complete a bool, warnings a list of
    texts). With `text`, every column is the kit's cells as text (its CSV, cell for cell)."""
    rows = sorted(study_rows(template, vary, quantities, answers=answers, executor=executor, program=program,
                             in_flight=in_flight), key=lambda r: r.index)
    names = list(rows[0].vary) if rows else []
    columns = _columns(quantities)
    if columns is None:
        columns = list(dict.fromkeys(q for r in rows for q in r.texts))
    records = []
    for r in rows:
        if text:
            rec: dict[str, Any] = {n: _value_text(n, v) for n, v in r.vary.items()}
            rec["exit_status"] = r.exit_status
            rec["report"] = (r.report or "").replace("\n", " ")
            rec.update({c: r.texts.get(c, "") for c in columns})
            rec.update(r.provenance_texts)
        else:
            rec = dict(r.vary)
            rec["exit_status"] = r.exit_status
            rec["report"] = r.report
            rec.update({c: r.values.get(c, float("nan")) for c in columns})
            rec.update(r.provenance)
        records.append(rec)
    return pd.DataFrame(records, columns=[*names, "exit_status", "report", *columns, *PROVENANCE_COLUMNS])


def _run_one(command: list[str], data: bytes, name: str) -> Result:
    r = _program.run(command, data)
    results = _kit.read_results(name, r.out, r.err, r.status)
    if not results.ok:
        raise NotResultsError(f"{name}: the program's output is not a results file: {results.error}")
    return Result(r.out, stderr=r.err, exit_status=r.status, answers=data, name=name, program=command)


def run_many(files: Iterable[str | os.PathLike], *, executor: Optional[Executor] = None,
             program: Optional[str | os.PathLike] = None, in_flight: Optional[int] = None) -> list[Result]:
    """run() of each answer file, on `executor`; the Results in the order of `files`."""
    paths = list(files)
    datas = [_program.read_answer_file(p) for p in paths]
    command = _program.command(program)
    out: list[Optional[Result]] = [None] * len(paths)
    jobs = ((command, d, os.fspath(p)) for p, d in zip(paths, datas))
    for i, r in _pool.as_finished(_run_one, jobs, executor=executor, in_flight=in_flight,
                                  what=lambda i: os.fspath(paths[i])):
        out[i] = r
    return [r for r in out if r is not None]
