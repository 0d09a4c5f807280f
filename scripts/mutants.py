"""The mutants of the program's files, for mutate.py: an arithmetic,
relational, logical or bitwise operator swapped, an integer constant moved by
one, a float constant moved by one float ulp (an `f` literal) or by 1e-8 (a
double literal), a statement deleted. Python 3 standard library only."""

import math
import os
import re
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM_DIRS = ("calibration", "settings", "app")

BINARY_OPERATORS = [("+", "-"), ("-", "+"), ("*", "/"), ("/", "*"), ("%", "*"),
                    ("<", "<="), ("<=", "<"), (">", ">="), (">=", ">"), ("<", ">"), (">", "<"),
                    ("<=", ">="), (">=", "<="), ("==", "!="), ("!=", "=="),
                    ("&&", "||"), ("||", "&&"), ("|", "&"), ("&", "|")]
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*(?:[eE][-+]?\d+)?f?|\.\d+f?|0[xX][0-9a-fA-F]+|\d+)(?![\w.])")


def masked(line):
    """The line with string and character literals and // comments blanked."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" " if quote else c)
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[:len(line)]


def nudged(literal):
    """Numbers near LITERAL that a slip could have given, as C++ literals."""
    if literal.lower().startswith("0x"):
        value = int(literal, 16)
        return [hex(value + 1), hex(value - 1)] if value > 0 else [hex(value + 1)]
    if re.fullmatch(r"\d+", literal):
        value = int(literal)
        return [str(value + 1), str(value - 1)] if value > 0 else [str(value + 1)]
    if literal.endswith("f"):
        value = struct.unpack("f", struct.pack("f", float(literal[:-1])))[0]
        out = []
        for direction in (math.inf, -math.inf):
            bits = struct.unpack("<I", struct.pack("<f", value))[0]
            step = 1 if (direction > 0) == (value >= 0) else -1
            if value == 0:
                bits, step = (1, 0) if direction > 0 else (0x80000001, 0)
            other = struct.unpack("<f", struct.pack("<I", bits + step))[0]
            out.append(f"{other!r}f")
        return out
    value = float(literal)
    out = []
    for delta in (1e-8, -1e-8):
        other = value + delta
        if other == value:
            other = math.nextafter(value, math.copysign(math.inf, delta))
        out.append(repr(other))
    return out


def statement_spans(lines, code):
    """(first, last) line indexes of statements inside function bodies."""
    spans, depth, start = [], 0, None
    for index, text in enumerate(code):
        stripped = text.strip()
        if start is None and depth > 0 and stripped and not stripped.startswith(("#", "case ",
                                                                                  "default:")):
            if not stripped.startswith(("{", "}")) and not re.match(
                    r"(if|for|while|switch|else|do)\b", stripped):
                start = index
        if start is not None and stripped.endswith(";"):
            spans.append((start, index))
            start = None
        elif start is not None and stripped.endswith(("{", "}")):
            start = None
        depth += text.count("{") - text.count("}")
    return spans


def make_mutants(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as source:
        lines = source.read().split("\n")
    code = [("" if l.lstrip().startswith("#") else masked(l)) for l in lines]
    mutants = []

    def add(line, column, old, new, kind):
        text = lines[line]
        changed = text[:column] + new + text[column + len(old):]
        mutants.append({"file": path, "line": line + 1, "kind": kind,
                        "was": text.strip(), "now": changed.strip(),
                        "edit": [[line, changed]]})

    for index, text in enumerate(code):
        for match in re.finditer(r"(?<=\s)(&&|\|\||<=|>=|==|!=|[-+*/%<>|&])(?=\s)", text):
            for old, new in BINARY_OPERATORS:
                if match.group(1) == old:
                    add(index, match.start(), old, new, "operator")
        for match in re.finditer(r"\+\+|--", text):
            add(index, match.start(), match.group(), "--" if match.group() == "++" else "++",
                "operator")
        for match in NUMBER.finditer(text):
            for other in nudged(match.group()):
                add(index, match.start(), match.group(), other, "constant")
    for first, last in statement_spans(lines, code):
        if code[first].strip().startswith("return") and last == first:
            continue   # a missing return is undefined behaviour, not a slip
        mutants.append({"file": path, "line": first + 1, "kind": "deletion",
                        "was": " ".join(l.strip() for l in lines[first:last + 1]), "now": "",
                        "edit": [[i, ""] for i in range(first, last + 1)]})
    for number, mutant in enumerate(mutants):
        mutant["id"] = f"{path}#{number}"
    return mutants


def program_files():
    files = []
    for folder in PROGRAM_DIRS:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.endswith(".cpp"):
                files.append(f"{folder}/{name}")
    return files
