"""Work on any concurrent.futures.Executor, results as they finish, at most `in_flight`
submitted and not yet taken: memory is bounded by the runs in flight, not the number of runs."""

from __future__ import annotations

import os
from concurrent.futures import FIRST_COMPLETED, Executor, Future, ThreadPoolExecutor, wait
from typing import Any, Callable, Iterable, Iterator, Optional

from ._errors import Lamvis2Error, StudyError


def default_in_flight(executor: Optional[Executor]) -> int:
    workers = getattr(executor, "_max_workers", None) or os.cpu_count() or 1
    return 2 * workers


def as_finished(fn: Callable[..., Any], jobs: Iterable[tuple], *, executor: Optional[Executor] = None,
                in_flight: Optional[int] = None, what: Callable[[int], str] = str) -> Iterator[tuple[int, Any]]:
    """(index, fn(*job)) for each job, in the order they finish. `what(i)` names job i in a
    message. The package's own errors pass through; anything else the executor raises is a
    StudyError. The remaining work is cancelled when one fails or the caller stops."""
    own = executor is None
    if own:
        executor = ThreadPoolExecutor(max_workers=os.cpu_count() or 1)
    limit = in_flight or default_in_flight(executor)
    if not isinstance(limit, int) or limit < 1:
        raise StudyError(f"in_flight: a whole number from 1 is expected, not {limit!r}")
    pending: dict[Future, int] = {}
    todo = enumerate(jobs)
    try:
        exhausted = False
        while True:
            while not exhausted and len(pending) < limit:
                nxt = next(todo, None)
                if nxt is None:
                    exhausted = True
                    break
                i, job = nxt
                try:
                    pending[executor.submit(fn, *job)] = i
                except Exception as e:
                    raise StudyError(f"{what(i)}: the executor refused the run: {type(e).__name__}: {e}") from e
            if not pending:
                return
            done, _ = wait(pending, return_when=FIRST_COMPLETED)
            for f in done:
                i = pending.pop(f)
                try:
                    value = f.result()
                except Lamvis2Error:
                    raise
                except BaseException as e:
                    if isinstance(e, (KeyboardInterrupt, SystemExit)):
                        raise
                    raise StudyError(f"{what(i)}: the executor raised {type(e).__name__}: {e}") from e
                yield i, value
    finally:
        for f in pending:
            f.cancel()
        if own:
            executor.shutdown(wait=True, cancel_futures=True)
