"""Case files (verification/README.md describes the format), read by the kit's own reader
(`lamvis2-kit case CASE --json`): the schema, the G12 rule and the answers the program is
given are the kit's, so that the manual, the kit, the page and Python read a case alike."""

import json
import pathlib
import subprocess

LOAD_KEYS = ("nx", "ny", "nxy", "mx", "my", "mxy")


class CaseError(Exception):
    pass


class Case:
    def __init__(self, path, kit):
        self.path = pathlib.Path(path)
        self.id = self.path.stem
        done = subprocess.run([str(kit), "case", str(self.path), "--json"], capture_output=True)
        if done.returncode != 0:
            message = done.stderr.decode(errors="replace").strip()
            lines = [l.removeprefix("lamvis2-kit: ") for l in message.splitlines()]
            raise CaseError("\n".join(lines) or f"{self.path}: lamvis2-kit case: exit status "
                            f"{done.returncode}")
        data = json.loads(done.stdout)
        self.title = data["title"] or self.id
        self.source = data["source"]
        self.description = data["description"]
        self.derivation = data["derivation"]
        self.notes = data["notes"]
        self.strengths = [s["strengths"] for s in data["sets"]]
        if data["answers-file"] is not None:
            self.answers_file = (self.path.parent / data["answers-file"]).resolve()
            if not self.answers_file.is_file():
                raise CaseError(f"{self.path}: no answer file {data['answers-file']}")
            self.sets = self.plies = self.loads = None
            self.relaxation_time = None
            self._answers = None
        else:
            self.answers_file = None
            self.sets = []
            for s in data["sets"]:
                material = {k: s[k] for k in ("e1", "e2", "nu12", "thickness", "creep-fraction")}
                if s["g12-asked"]:
                    material["g12"] = s["g12"]
                self.sets.append(material)
            self.plies = [(p["set"], p["angle"]) for p in data["plies"]]
            self.loads = [data["loads"][k] for k in LOAD_KEYS]
            self.relaxation_time = data["relaxation-time"]
            self._answers = data["answers"]
        # As the TOML gives them: the optional texts only where the file has them.
        self.expect = [{k: v for k, v in e.items() if v is not None and v != "" and k != "line"}
                       | {"unit": e["unit"], "line": e["line"]} for e in data["expect"]]
        if not self.expect:
            raise CaseError(f"{self.path}:1: no [[expect]]: a verification case compares at "
                            "least one number")

    def answers(self):
        """The answer file's text, one value a line."""
        if self.answers_file:
            return self.answers_file.read_text()
        return self._answers

    def thickness(self):
        return sum(self.sets[m - 1]["thickness"] for m, _ in self.plies)


class BadCase:
    """A case file the kit refuses: shown failed in the manual, with the kit's message."""

    def __init__(self, path, error):
        self.path = pathlib.Path(path)
        self.id = self.path.stem
        self.title = self.id
        self.source = ""
        self.description = ""
        self.derivation = ""
        self.notes = []
        self.answers_file = None
        self.expect = []
        self.error = str(error)


def load_all(directory, kit):
    """Every case of DIRECTORY in name order; a case the kit refuses as a BadCase."""
    out = []
    for p in sorted(pathlib.Path(directory).glob("*.toml")):
        try:
            out.append(Case(p, kit))
        except CaseError as error:
            out.append(BadCase(p, error))
    return out
