"""The JSON reader keeps korda's rules: the shared documents of
tests/golden/json are accepted or refused with korda's very reason."""

import pytest

from conftest import TREE
from korda32ext import config_from_json

GOLDEN = TREE / "tests" / "golden" / "json"


def _rules():
    for line in (GOLDEN / "index.txt").read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            yield line.split("\t")


@pytest.mark.parametrize("name, expected", list(_rules()))
def test_documents_are_read_as_korda_reads_them(name, expected):
    file, _, times = name.partition("*")
    document = (GOLDEN / file).read_bytes() * int(times or 1)
    if expected == "accepted":
        config_from_json(document)
        return
    with pytest.raises(ValueError) as refused:
        config_from_json(document)
    assert str(refused.value) == expected
