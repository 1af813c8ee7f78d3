"""Where the program is and how it is run: a process per run, as a user runs it, with the
answers on its standard input (the kit's process layer, kit/process.h)."""

from __future__ import annotations

import os
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
from typing import NamedTuple, Optional, Sequence

from . import _kit
from ._errors import InputError, ProgramError

# The program the package carries (the static build), beside this file.
BUNDLED = Path(__file__).resolve().parent / "bin" / ("lamvis2.exe" if os.name == "nt" else "lamvis2")
# An answer file is a few dozen lines; the kit reads at most this much of one.
ANSWER_FILE_LIMIT = 1 << 20
# Each line of an answer file costs a run to pair with its prompt.
ANSWER_LINES_LIMIT = 10000


def command(program: Optional[str | os.PathLike] = None) -> list[str]:
    """The words that run the program: `program`, else $LAMVIS2_PROGRAM, else the package's
    own; preceded by the words of $LAMVIS2_EMULATOR when set (as the kit does)."""
    words = os.environ.get("LAMVIS2_EMULATOR", "").split()
    path = os.fspath(program) if program is not None else os.environ.get("LAMVIS2_PROGRAM") or ""
    if not path:
        if not BUNDLED.exists():
            raise ProgramError(f"{BUNDLED}: the package holds no program (give program= or set LAMVIS2_PROGRAM)")
        path = str(BUNDLED)
    return [*words, path]


class Run(NamedTuple):
    status: int
    out: bytes
    err: bytes


def run(cmd: Sequence[str], answers: bytes) -> Run:
    """One run of the program with `answers` as its standard input."""
    status, out, err, error = _kit.run_captured(list(cmd), answers)
    if error:
        raise ProgramError(error)
    return Run(status, out, err)


def read_answers(path: str | os.PathLike) -> bytes:
    """The answers of an answer file, or of a case file (.toml) the answers it gives, read by
    the kit (kit/files.h), with its messages for trouble."""
    if not isinstance(path, (str, os.PathLike)):
        raise InputError(f"a path is expected, not {type(path).__name__}")
    answers, error = _kit.read_answers(os.fspath(path))
    if answers is None:
        raise InputError(error)
    return answers


def case_of(path: str | os.PathLike) -> Optional[tuple[str, str]]:
    """(name, text) of a case file (.toml), for its strengths; None for an answer file."""
    name = os.fspath(path)
    if not _kit.is_case_file(name):
        return None
    return name, read_answer_file(name).decode("utf-8", "surrogateescape")


def read_answer_file(path: str | os.PathLike) -> bytes:
    """The bytes of an answer file (or template), with the kit's messages for trouble."""
    if not isinstance(path, (str, os.PathLike)):
        raise InputError(f"a path is expected, not {type(path).__name__}")
    name = os.fspath(path)
    try:
        with open(name, "rb") as f:
            data = f.read(ANSWER_FILE_LIMIT + 1)
    except OSError as e:
        raise InputError(f"{name}: {e.strerror or e}") from None
    if len(data) > ANSWER_FILE_LIMIT:
        raise InputError(f"{name}: larger than {ANSWER_FILE_LIMIT} bytes, too large for an answer file")
    return data


def answer_bytes(answers: object) -> bytes:
    """Answers given as text (or as the bytes of an answer file)."""
    if isinstance(answers, str):
        return answers.encode("utf-8", "surrogateescape")
    if isinstance(answers, (bytes, bytearray, memoryview)):
        return bytes(answers)
    raise InputError(f"answers: text is expected, not {type(answers).__name__}")


def pair_inputs(cmd: Sequence[str], answers: bytes, name: str, jobs: Optional[int] = None) -> _kit.InputPairing:
    """Each prompt with the answer line it took, found by the kit from runs of the program on
    each prefix of the answers (kit/inputs.h), run `jobs` at a time."""
    ends = _kit.answer_prefix_ends(answers)
    if len(ends) - 1 > ANSWER_LINES_LIMIT:
        raise InputError(f"{name}:{ANSWER_LINES_LIMIT + 1}: more lines than an answer file of the program has")

    def prefix(end: int) -> tuple[bytes, bool]:
        r = run(cmd, answers[:end])
        return r.out, _kit.wanted_input(r.status, r.err)

    if len(ends) == 1:
        runs = [prefix(ends[0])]
    else:
        with ThreadPoolExecutor(max_workers=jobs or os.cpu_count() or 1) as pool:
            runs = list(pool.map(prefix, ends))
    pairing = _kit.pair_inputs(answers, runs)
    if pairing.error:
        raise ProgramError(f"{name}: {pairing.error}")
    return pairing
