#!/usr/bin/env python3
"""Independent model of the plain-text enhancement, for checking the engine.

Reads BOOK as the loader does (UTF-8 when the bytes are valid UTF-8 or begin
with its byte-order mark, else code page 1252; text after a NUL dropped; lines
split at CR LF, CR or LF; the end marker appended) and prints what the reading
box holds after the enhancement, one paragraph a line; with --chapters it
prints the chapters list instead, one "caption TAB position" a line.

Usage: enhance_check.py BOOK [--prefix NAME] [--ignore-empty-lines] [--poorly-written] [--chapters]
"""
import argparse
import re
import sys

END_OF_BOOK = "***** End of Book *****"
MAX_CHAPTERS = 30
CAPTION_UNITS = 50

DOUBLE_QUOTES = "\"\u00ab\u00bb\u201c\u201d"
QUOTES = DOUBLE_QUOTES + "'`"
SENTENCE_ENDS = ".?!)" + QUOTES
LIST_MARKS = "*-=\u00b7"
HEADING_KEYWORDS = ("chapter ", "part ", "section ", "book ")


def cp1252_char(byte):
    try:
        return bytes([byte]).decode("cp1252")
    except UnicodeDecodeError:
        return chr(byte)  # the five unassigned bytes stand for themselves


CP1252 = [cp1252_char(b) for b in range(256)]


def decode(data):
    data = data.split(b"\0", 1)[0]
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", errors="replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return "".join(CP1252[b] for b in data)


def book_lines(path):
    with open(path, "rb") as f:
        text = decode(f.read())
    lines = re.split(r"\r\n|\r|\n", text)
    if lines and lines[-1] == "":
        lines.pop()  # a final line break ends the last line, it does not start another
    # The end marker of a whole book.
    while len(lines) > 1 and strip(lines[-1]) in ("", END_OF_BOOK):
        lines.pop()
    lines += ["", END_OF_BOOK]
    return lines


def strip(s):
    return s.strip("".join(chr(c) for c in range(33)))


def units(s):
    """Length in UTF-16 code units."""
    return sum(2 if ord(ch) > 0xFFFF else 1 for ch in s)


def is_upper(ch):
    return "A" <= ch <= "Z"


def is_lower(ch):
    return "a" <= ch <= "z"


def is_heading(text):
    if not text:
        return False
    if text[0] in "#\u00a7":
        return True
    if text[0] not in "CPSB":
        return False
    head = "".join(ch.lower() if "A" <= ch <= "Z" else ch for ch in text[:8])
    return any(head.startswith(k) for k in HEADING_KEYWORDS)


def is_separator(text):
    for c in "*\u00b7-=":
        if text == c or text == c + c or (len(text) >= 3 and text[:3] == c * 3):
            return True
    return False


def indented(raw):
    return raw[:1] == "\t" or (len(raw) >= 2 and raw[0] == " " and raw[1] in " \t")


def join(par, line):
    if not par:
        return line
    if not line:
        return par
    if len(par) >= 2 and par[-1] == "-" and is_lower(par[-2]) and is_lower(line[0]):
        return par[:-1] + line
    return par + " " + line


def stands_apart(par, nxt, nxt_indented, poorly):
    """True when nxt must start a new paragraph after par."""
    if not par or not nxt:
        return True
    first, last, n = par[0], par[-1], nxt[0]
    if (nxt_indented or poorly) and (is_upper(n) or n in QUOTES) and last in SENTENCE_ENDS:
        return True
    if n in LIST_MARKS:
        return True
    if "^" in (first, n):
        return True
    if first in "#\u00a7" or n in "#\u00a7":
        return True
    if is_heading(par) or is_heading(nxt):
        return True
    if first in LIST_MARKS and is_separator(par):
        return True
    return last == ":" and is_upper(n)


def caption(text):
    encoded = text.encode("utf-16-le")[: 2 * CAPTION_UNITS]
    if len(encoded) >= 2 and 0xD8 <= encoded[-1] <= 0xDB:
        encoded = encoded[:-2]  # never split a surrogate pair
    return encoded.decode("utf-16-le")


def enhance(lines, prefix, ignore_empty, poorly):
    box, chapters = [], []
    position = 0
    par = ""
    i = 0
    while i < len(lines):
        par = join(par, strip(lines[i]))
        if i + 1 < len(lines):
            raw = lines[i + 1]
            nxt, nxt_ind = strip(raw), indented(raw)
        else:
            nxt, nxt_ind = "", False
        skip_next = ignore_empty and par != "" and nxt == ""
        if stands_apart(par, nxt, nxt_ind, poorly):
            if par == "":
                box.append("")
                position += 2
            elif par[0] == "^":
                pass  # a command line shows nothing
            elif len(chapters) < MAX_CHAPTERS and is_heading(par):
                chapters.append((caption(par), position))
                box.append(par)
                position += units(par) + 2
            else:
                box.append(prefix + par)
                position += units(prefix + par) + 2
            par = ""
            i += 2 if skip_next else 1
        else:
            i += 1
    return box, chapters


def main():
    ap = argparse.ArgumentParser(description="Expected reading-box text of an enhanced plain-text book.")
    ap.add_argument("book")
    ap.add_argument("--prefix", default="None")
    ap.add_argument("--ignore-empty-lines", action="store_true")
    ap.add_argument("--poorly-written", action="store_true")
    ap.add_argument("--chapters", action="store_true")
    args = ap.parse_args()
    prefix = {"None": "", "Tab": "\t", "Blanks": "  "}.get(args.prefix, args.prefix)
    box, chapters = enhance(book_lines(args.book), prefix, args.ignore_empty_lines, args.poorly_written)
    if args.chapters:
        out = "".join(f"{c}\t{p}\n" for c, p in chapters)
    else:
        out = "".join(p + "\n" for p in box)
    sys.stdout.buffer.write(out.encode("utf-8", errors="surrogatepass"))


if __name__ == "__main__":
    main()
