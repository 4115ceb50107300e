"""The ctypes records have the layout of the C header: a C program compiled
here prints sizeof and offsetof of every field the Python records name."""

import ctypes
import os
import shutil
import subprocess

import pytest

from conftest import TREE
from korda32ext import records


def _layout_program():
    lines = ["#include <stdio.h>", "#include <korda32ext.h>", "int main(void) {"]
    for r in records.RECORDS:
        name = r.__name__
        lines.append('printf("%s %%zu\\n", sizeof(%s));' % (name, name))
        for field, _ in r._fields_:
            lines.append(
                'printf("%s.%s %%zu %%zu\\n", offsetof(%s, %s), sizeof(((%s*)0)->%s));'
                % (name, field, name, field, name, field)
            )
    lines.append("return 0; }")
    return "\n".join(lines) + "\n"


def _python_layout():
    out = []
    for r in records.RECORDS:
        out.append("%s %d" % (r.__name__, ctypes.sizeof(r)))
        for field, kind in r._fields_:
            out.append(
                "%s.%s %d %d" % (r.__name__, field, getattr(r, field).offset, ctypes.sizeof(kind))
            )
    return out


def test_records_match_the_c_header(tmp_path):
    cc = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler")
    source = tmp_path / "layout.c"
    source.write_text(_layout_program())
    program = tmp_path / "layout"
    subprocess.run(
        [cc, "-std=c11", "-Wall", "-Werror", "-I", str(TREE / "include"), str(source), "-o", str(program)],
        check=True,
    )
    c_layout = subprocess.run([str(program)], check=True, capture_output=True, text=True).stdout
    assert c_layout.splitlines() == _python_layout()


def test_text_fields_hold_utf16_with_a_terminator():
    channel = records.ChannelRecord()
    records.set_text(channel.name, "T\u00b0 \U0001f321")
    assert records.text_of(channel.name) == "T\u00b0 \U0001f321"
    records.set_text(channel.unit, "x" * 1000)
    assert records.text_of(channel.unit) == "x" * (records.VMR_TEXT_UNITS - 1)
    assert channel.unit[records.VMR_TEXT_UNITS - 1] == 0
    records.set_text(channel.unit, "V")
    assert records.text_of(channel.unit) == "V"  # the longer text is gone
