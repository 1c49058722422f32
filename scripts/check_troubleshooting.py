#!/usr/bin/env python3
"""Checks that every failure text the program can show has a row in the manual's troubleshooting
table (docs/manual/index.html, <table id="troubleshooting">).

The texts are taken from the places that hold them, by the rules below; a new table of texts gets
one more rule, a single text elsewhere gets the marker comment "// troubleshooting" at the end of
the line that holds its literal (every literal on that line is taken, one part of a joined text
each). Run from anywhere; exit status 1 lists the texts the table lacks.
"""
import glob
import html
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LITERAL = re.compile(r'u?8?"((?:[^"\\]|\\.)*)"')
MARKER = "// troubleshooting"

# (file, the text of the file it applies to (a regex whose group 1 is the part), the text's regex)
RULES = [
    # The status line's reasons of a failed attempt.
    ("src/send/SendProcedure.cpp", None, r'constexpr const char\* REASON_\w+ =\s*"([^"]+)"'),
    ("src/send/FailureReason.cpp", None, r'constexpr const char\* REASON_\w+ =\s*"([^"]+)"'),
    ("src/send/FailureReason.cpp",
     r"const char\* DeliveryFailureReason\(SendCode code\)\n\{(.*?)\n\}", r'return "([^"]+)";'),
    # What a connection's end means (the detail) and the receive errors' message boxes.
    ("src/mail/LineTransport.cpp", None, r'\{NET_\w+, "([^"]+)"\}'),
    # The file error's texts, after the file's name.
    ("src/app/FileError.cpp", None, r'return name \+ "([^"]+)";'),
]


def texts():
    found = []
    for path, scope, pattern in RULES:
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            text = f.read()
        if scope:
            match = re.search(scope, text, re.S)
            if not match:
                sys.exit(f"{path}: the part /{scope}/ is not there: mend the rule")
            text = match.group(1)
        parts = re.findall(pattern, text)
        if not parts:
            sys.exit(f"{path}: nothing matches /{pattern}/: mend the rule")
        found += [(path, part) for part in parts]
    for path in sorted(glob.glob(os.path.join(ROOT, "src", "**", "*.[ch]*"), recursive=True)):
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                if line.rstrip().endswith(MARKER):
                    code = line[: line.index(MARKER)]
                    for part in LITERAL.findall(code):
                        found.append((f"{os.path.relpath(path, ROOT)}:{number}", part))
    return found


def table_text(path):
    with open(path, encoding="utf-8") as f:
        page = f.read()
    match = re.search(r'<table id="troubleshooting">(.*?)</table>', page, re.S)
    if not match:
        sys.exit(f'{path}: no <table id="troubleshooting">')
    return html.unescape(re.sub(r"<[^>]+>", "", match.group(1)))


def main():
    table = table_text(os.path.join(ROOT, "docs", "manual", "index.html"))
    missing = []
    for where, text in texts():
        text = text.replace("\\n", "\n").strip()
        # Each line of a text on its own: a row may break it where the program does.
        for piece in (p.strip() for p in text.split("\n")):
            if len(piece) > 1 and piece not in table:
                missing.append(f"{where}: {piece}")
    if missing:
        print("The troubleshooting table of docs/manual/index.html lacks:", *missing, sep="\n  ")
        return 1
    print(f"troubleshooting table: every failure text is there")
    return 0


if __name__ == "__main__":
    sys.exit(main())
