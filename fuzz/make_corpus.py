#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

dialogue_fuzz: the example answer files and the standard input of every whole-program case,
each behind a first byte that chooses the console (terminals, pipe read size, failing
output). input_fuzz: short typed lines for the scanner and the conversions, behind a first
byte that chooses the console. format_fuzz: the program's format texts and small variations.
case_fuzz: the verification case files.

Run it again after adding cases or examples; --check only tells whether the corpora are
current.
"""
import argparse
import pathlib
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

# First bytes of the dialogue seeds: bit 0 input terminal, bit 1 output terminal, bits 2-4
# pipe read size (0 unlimited, 1, 2, 3, 5, 64, 131, 132), bits 5-7 6 or 7: failing output.
DIALOGUE_CONSOLES = [0x20, 0x23, 0x21, 0x22, 0x24, 0x38, 0x34, 0x2C, 0xC0, 0xE3]


def decode_line(line):
    """A case file line as bytes, and whether it keeps its line end (\\z drops it)."""
    out = bytearray()
    terminate = True
    i = 0
    while i < len(line):
        c = line[i]
        if c != "\\" or i + 1 == len(line):
            out += c.encode("latin-1")
            i += 1
            continue
        e = line[i + 1]
        i += 2
        if e == "\\":
            out += b"\\"
        elif e == "r":
            out += b"\r"
        elif e == "n":
            out += b"\n"
        elif e == "t":
            out += b"\t"
        elif e == "z":
            terminate = False
        elif e == "x":
            out.append(int(line[i:i + 2], 16))
            i += 2
        else:
            out += b"\\" + e.encode("latin-1")
    return bytes(out), terminate


def case_section(path, name, line_end):
    """A section of a case file (stdin or stdout) exactly as the case runner builds it, each
    line ended by line_end."""
    section = None
    data = bytearray()
    text = path.read_text(encoding="latin-1")
    if text.endswith("\n"):
        text = text[:-1]
    for line in text.split("\n"):
        if line.startswith("--- "):
            section = line[4:]
            continue
        if section == name:
            decoded, terminate = decode_line(line)
            data += decoded + (line_end if terminate else b"")
    return bytes(data)


def case_input_sections(path):
    """The stdin section (LF line ends)."""
    return case_section(path, "stdin", b"\n")


def dialogue_seeds():
    sources = sorted((ROOT / "examples").glob("*.txt")) + sorted((ROOT / "tests" / "cases").glob("*.case"))
    seeds = {}
    for path in sources:
        data = path.read_bytes() if path.suffix == ".txt" else case_input_sections(path)
        # Chosen by the name, so that a new case leaves the other seeds as they are.
        console = DIALOGUE_CONSOLES[zlib.crc32(path.stem.encode()) % len(DIALOGUE_CONSOLES)]
        seeds[f"{path.stem}"] = bytes([console]) + data
        if path.suffix == ".txt":
            # The examples also on a terminal with CR LF line ends, as typed.
            seeds[f"{path.stem}_terminal"] = bytes([0x23]) + data.replace(b"\n", b"\r\n")
    return seeds


INPUT_LINES = [
    b"1 2 3\n", b"\n \t\n5\n", b",\n", b"/\n", b", 5\n", b"5 , 6\n", b"3*7\n", b"3*\n",
    b"0*7\n", b"2*3*7\n", b"-2*5\n", b"2.5\n", b"abc\n", b"+\n", b"16#1F\n", b"#1F\n",
    b"36#zz\n", b"37#1\n", b"2#1#1\n", b"16#FFFFFFFF\n", b"16#100000000\n", b"2147483648\n",
    b"-2147483648\n", b"1.0+5\n", b"2.5-3\n", b"1e39\n", b"1e400\n", b"1e-400\n", b"1,5\n",
    b"'5'\n", b"(5)\n", b"\"5\"\n", b"'it''s'\n", b"(1, 2)\n", b"2.5d-3\n", b"-.5\n", b".\n",
    b"1.5e+\n", b"12a\n", b"1.2.3\n", b"5\r\n", b"1e6 2e6\r\n", b"\x1a\r\n", b"7\x1a\r\n",
    b"0." + b"0" * 40 + b"1\n", b"1" + b"0" * 30 + b".5e-20\n", b"3.4028235e38\n",
    b"3.4028236e38\n", b"1.4e-45\n", b"'quoted\nacross' 4\n", b"5/\n", b"4 /7\n",
    b"9" * 130 + b"\r\n", b"9" * 131 + b"\r\n", b"1e5200\n", b"1e-5300\n",
]
# First bytes: pipes with reads of 1, 2 and 133 bytes, terminals.
INPUT_CONSOLES = [0x00, 0x04, 0x01, 0x03, 0x02, 0x80]


def input_seeds():
    seeds = {}
    for n, line in enumerate(INPUT_LINES):
        console = INPUT_CONSOLES[n % len(INPUT_CONSOLES)]
        seeds[f"line_{n:02d}"] = bytes([console]) + line + b"17\n"
    return seeds


FORMATS = [
    b"(/,' enter material set number for ply number',I3,': ')",
    b"(' material set must be a number from 1 to',I3)",
    b"(/,' laminate stiffness matrix:',/)",
    b"(/,' laminate compliance matrix:',/)(4X,3E12.4,2X,3E12.4)",
    b"(4X,3E12.4,2X,3E12.4)",
    b"(/,' midplane strains:',/,/,3X,'eps-xx =',E12.4,/,3X,'eps-yy =',E12.4,/,3X,"
    b"'eps-xy =',E12.4,/,/,' rotations:',/,/,3X,'kappa-xx =',E12.4,/,3X,'kappa-yy= ',"
    b"E12.4,/,3X,'kappa-xy =',E12.4,/,/)",
    b"(/,' stresses:',/,2X,'ply',5X,'sigma-1',5X,'sigma-2',4X,'sigma-12',/)",
    b"(3X,I2,3E12.4)", b"(7E12.4)", b"( 1 0 x , i 3 , e 1 2 . 4 )", b"(' a',2(I2,2(' b')))",
    b"(' a',3/,' b')", b"(' a'2X'b'I2)", b"(' it''s',\"q\"\"q\")", b"()", b"(,I3)", b"(0I3)",
    b"(1X,A,A5,A2)", b"(1X,E12.4,D12.4)", b"(1X,E8.4,I2)", b"(2'ab')", b"(2(I2,' x'),' end')",
    b"(I2,(' abc'))", b"(I2,5X)", b"(99999999999I3)", b"(E12.)", b"(F8.2)", b"(I,' x')",
    b"(I300)", b"(Q)", b"(3Hab,I2)", b"(E12.4E3,I2.2)", b"(E9.8E1)", b"(1X,E12.0)",
    b"(2(3(4(5(6(7(8(9(I2)))))))))", b"(I2,121X,'a')", b"(120X,I121)", b"(32767X,'a')",
    b"(' ab')garbage(", b"(T5,I2)", b"(SP,I3,SS,BN,BZ,:,$)", b"(2P,E12.4)", b"(I2/I2//I2)",
]


def case_output_section(path):
    """The stdout section (CR LF line ends)."""
    return case_section(path, "stdout", b"\r\n")


def results_seeds():
    """The expected outputs of the cases, as results files for the kit's reader."""
    seeds = {}
    for path in sorted((ROOT / "tests" / "cases").glob("*.case")):
        data = case_output_section(path)
        if data:
            seeds[path.stem] = data
    # A file whose strains and curvatures are printed twice (two runs' pieces pasted into one
    # file): those names come twice, and the comparison must pair them in order.
    data = seeds["model_symmetric_0_90"]
    start = data.index(b"\r\nmidplane strains:")
    end = data.index(b"\r\nstresses:")
    seeds["deformation_twice"] = data[:end] + data[start:end] + data[end:]
    return seeds


def case_seeds():
    """The verification case files (elastic, creep and strength cases), for the case and
    strengths reader."""
    seeds = {}
    for folder in ("cases", "strength"):
        for path in sorted((ROOT / "verification" / folder).glob("*.toml")):
            seeds[f"{folder}_{path.stem}"] = path.read_bytes()
    return seeds


def format_seeds():
    return {f"format_{n:02d}": text for n, text in enumerate(FORMATS)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only tell whether the corpora are current")
    args = parser.parse_args()
    stale = []
    for target, seeds in (("dialogue_fuzz", dialogue_seeds()), ("input_fuzz", input_seeds()),
                          ("format_fuzz", format_seeds()), ("results_fuzz", results_seeds()),
                          ("case_fuzz", case_seeds())):
        folder = CORPUS / target
        wanted = {name: data for name, data in seeds.items()}
        present = {p.name: p.read_bytes() for p in folder.glob("*")} if folder.exists() else {}
        if present != wanted:
            stale.append(target)
            if not args.check:
                folder.mkdir(parents=True, exist_ok=True)
                for name in present.keys() - wanted.keys():
                    (folder / name).unlink()
                for name, data in wanted.items():
                    (folder / name).write_bytes(data)
    if args.check and stale:
        print("stale seed corpora:", ", ".join(stale), "(run fuzz/make_corpus.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
