"""The JSON reader of korda's documents, with korda's rules and messages.

Documents come from anywhere, so the reader is strict: at most 16 MiB, at
most 64 levels of arrays and objects, no member name given twice in one
object, only valid UTF-8 (no surrogate, overlong or out-of-range sequence),
no NaN or Infinity. A refusal raises ValueError with the text korda gives,
naming the line and the column (counted in characters) where it applies.

Numbers come out as int (whole numbers within 64 bits), float, or
OUT_OF_RANGE for a number no double holds (beyond the largest, or too small
to be told from zero): whoever reads it as a number refuses it. A \\u escape
of a lone surrogate keeps its code, as korda keeps it.
"""

import math
import re

MAX_DOCUMENT_BYTES = 16 << 20
MAX_DEPTH = 64


class _OutOfRange:
    __slots__ = ()

    def __repr__(self):
        return "OUT_OF_RANGE"


OUT_OF_RANGE = _OutOfRange()


class NegativeZero(int):
    """The whole number "-0": 0 where a whole number is read, -0.0 where a
    real one is."""


_UTF8 = (
    rb"[\xc2-\xdf][\x80-\xbf]|\xe0[\xa0-\xbf][\x80-\xbf]|[\xe1-\xec\xee\xef][\x80-\xbf]{2}"
    rb"|\xed[\x80-\x9f][\x80-\xbf]|\xf0[\x90-\xbf][\x80-\xbf]{2}|[\xf1-\xf3][\x80-\xbf]{3}"
    rb"|\xf4[\x80-\x8f][\x80-\xbf]{2}"
)
# A run of characters that stand for themselves in a string.
_PLAIN = re.compile(rb"(?:[\x20\x21\x23-\x5b\x5d-\x7f]|" + _UTF8 + rb")*")
_BLANKS = re.compile(rb"[ \t\n\r]*")
_DIGITS = re.compile(rb"[0-9]*")
_CONTINUATION = bytes(range(0x80, 0xC0))
_ESCAPES = {ord(k): v for k, v in zip('"\\/bfnrt', '"\\/\b\f\n\r\t')}


def quoted(text):
    """A text in quotes as korda writes it in messages: control characters
    (C0, DEL and C1) and lone surrogates as \\u escapes."""
    out = ['"']
    for ch in text:
        o = ord(ch)
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch in "\n\r\t":
            out.append({"\n": "\\n", "\r": "\\r", "\t": "\\t"}[ch])
        elif o < 0x20 or 0x7F <= o <= 0x9F or 0xD800 <= o <= 0xDFFF:
            out.append("\\u%04X" % o)
        else:
            out.append(ch)
    out.append('"')
    return "".join(out)


def _number(literal):
    if literal == b"-0":
        return NegativeZero(0)
    if not any(c in literal for c in b".eE") and len(literal) <= 20:
        n = int(literal)
        if -(2**63) <= n < 2**63:
            return n
    d = float(literal)
    mantissa = re.split(rb"[eE]", literal)[0]
    if math.isinf(d) or (d == 0 and re.search(rb"[1-9]", mantissa)):
        return OUT_OF_RANGE
    return d


class _Parser:
    def __init__(self, data):
        self.s = data
        self.pos = 0

    def fail(self, what, at=None):
        at = self.pos if at is None else min(at, len(self.s))
        line_start = self.s.rfind(b"\n", 0, at) + 1
        line = self.s.count(b"\n", 0, at) + 1
        column = len(self.s[line_start:at].translate(None, _CONTINUATION)) + 1
        raise ValueError("line %d, column %d: %s" % (line, column, what))

    def blanks(self):
        self.pos = _BLANKS.match(self.s, self.pos).end()

    def take(self, char):
        self.blanks()
        if self.s[self.pos : self.pos + 1] == char:
            self.pos += 1
            return True
        return False

    def word(self, word, value):
        for c in word:
            if self.pos >= len(self.s) or self.s[self.pos] != c:
                self.fail("invalid value")
            self.pos += 1
        return value

    def value(self, depth):
        self.blanks()
        if self.pos >= len(self.s):
            self.fail("unexpected end of the document")
        c = self.s[self.pos]
        if c in b"{[":
            if depth >= MAX_DEPTH:
                self.fail("nested too deeply")
            return self.object(depth + 1) if c == ord("{") else self.array(depth + 1)
        if c == ord('"'):
            return self.string()
        words = {ord("t"): (b"true", True), ord("f"): (b"false", False), ord("n"): (b"null", None)}
        if c in words:
            return self.word(*words[c])
        if c == ord("-") or ord("0") <= c <= ord("9"):
            return self.number()
        if 0x20 < c < 0x7F:
            self.fail("unexpected character '%s'" % chr(c))
        self.fail("unexpected byte 0x%02X" % c)

    def object(self, depth):
        self.pos += 1
        out = {}
        if self.take(b"}"):
            return out
        while True:
            self.blanks()
            if self.s[self.pos : self.pos + 1] != b'"':
                self.fail("expected a member name in quotes")
            key = self.string()
            if key in out:
                self.fail("member %s given twice" % quoted(key))
            if not self.take(b":"):
                self.fail("expected ':' after a member name")
            out[key] = self.value(depth)
            if not self.take(b","):
                break
        if not self.take(b"}"):
            self.fail("expected ',' or '}'")
        return out

    def array(self, depth):
        self.pos += 1
        out = []
        if self.take(b"]"):
            return out
        while True:
            out.append(self.value(depth))
            if not self.take(b","):
                break
        if not self.take(b"]"):
            self.fail("expected ',' or ']'")
        return out

    def digits(self):
        start = self.pos
        self.pos = _DIGITS.match(self.s, self.pos).end()
        return self.pos > start

    def number(self):
        s, start = self.s, self.pos
        if s[self.pos : self.pos + 1] == b"-":
            self.pos += 1
        if s[self.pos : self.pos + 1] == b"0":
            self.pos += 1
        elif not self.digits():
            self.fail("invalid number")
        if s[self.pos : self.pos + 1] == b".":
            self.pos += 1
            if not self.digits():
                self.fail("invalid number")
        if s[self.pos : self.pos + 1] in (b"e", b"E"):
            self.pos += 1
            if s[self.pos : self.pos + 1] in (b"+", b"-"):
                self.pos += 1
            if not self.digits():
                self.fail("invalid number")
        return _number(s[start : self.pos])

    def hex4(self, at):
        if len(self.s) - self.pos < 4:
            self.fail("incomplete \\u escape", at)
        digits = self.s[self.pos : self.pos + 4]
        if not re.fullmatch(rb"[0-9a-fA-F]{4}", digits):
            self.fail("invalid \\u escape", at)
        self.pos += 4
        return int(digits, 16)

    def string(self):
        s = self.s
        self.pos += 1
        out = []
        while True:
            end = _PLAIN.match(s, self.pos).end()
            out.append(s[self.pos : end].decode("utf-8"))
            self.pos = end
            if self.pos >= len(s):
                self.fail("unterminated string")
            c = s[self.pos]
            if c == ord('"'):
                self.pos += 1
                return "".join(out)
            if c < 0x20:
                self.fail("control character in a string")
            if c >= 0x80:
                self.fail("the text is not valid UTF-8")
            at = self.pos  # the backslash
            self.pos += 1
            if self.pos >= len(s):
                self.fail("unterminated string")
            e = s[self.pos]
            self.pos += 1
            if e in _ESCAPES:
                out.append(_ESCAPES[e])
            elif e == ord("u"):
                cp = self.hex4(at)
                # A high surrogate followed by an escaped low one is one
                # character; a lone surrogate keeps its own code.
                if 0xD800 <= cp < 0xDC00 and s[self.pos : self.pos + 2] == b"\\u":
                    save = self.pos
                    self.pos += 2
                    low = self.hex4(save)
                    if 0xDC00 <= low < 0xE000:
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00)
                    else:
                        self.pos = save
                out.append(chr(cp))
            else:
                self.fail("invalid escape in a string", at)


def loads(document):
    """The value of a whole document (str, or UTF-8 bytes)."""
    if isinstance(document, str):
        document = document.encode("utf-8", errors="surrogatepass")
    data = bytes(document)
    if len(data) > MAX_DOCUMENT_BYTES:
        raise ValueError("the document is larger than 16 MiB")
    parser = _Parser(data)
    value = parser.value(0)
    parser.blanks()
    if parser.pos != len(data):
        parser.fail("unexpected text after the document")
    return value
