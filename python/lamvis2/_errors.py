"""The package's exceptions: each carries the kit's message for what went wrong."""


class Lamvis2Error(Exception):
    """Anything the package cannot do with what it was given."""


class InputError(Lamvis2Error, ValueError):
    """A path that cannot be read, answers that are not text, a vary or grid that is no good."""


class NotResultsError(Lamvis2Error):
    """A file that is not a results file of the program: FILE:LINE: what is wrong."""


class UnknownQuantityError(Lamvis2Error, KeyError):
    """A name that doc/names.md does not list, or that these results do not hold."""

    def __str__(self) -> str:  # KeyError would quote the message
        return str(self.args[0]) if self.args else ""


class IncompleteRunError(Lamvis2Error):
    """The run ended in a report (or early) where a complete one is needed."""


class ProgramError(Lamvis2Error):
    """The program could not be run."""


class StudyError(Lamvis2Error):
    """The executor of a study (or of run_many) raised."""
