"""The configuration record as korda's JSON: the same field names and values
as the korda tool, both ways, and through the virtual instrument."""

import ctypes
import json
import random
import subprocess

import pytest

from conftest import TREE
from korda32ext import (
    Instrument,
    KordaError,
    VmrInstConfig,
    config_from_dict,
    config_from_json,
    config_to_dict,
    config_to_json,
    read_recording_config,
    set_text,
)

EXAMPLES = {m: TREE / "examples" / ("%s-thermocouples.json" % m) for m in ("7043A", "5129A")}


def run_korda(korda, *args):
    done = subprocess.run([korda, *args], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.mark.parametrize("model", ["7043A", "5129A"])
def test_korda_examples_read_and_write_as_the_same_dict(korda, model):
    text = run_korda(korda, "config", "example", model)
    assert text == EXAMPLES[model].read_text()
    document = json.loads(text)
    config = config_from_json(text)
    assert config_to_dict(config) == document
    assert json.loads(config_to_json(config)) == document


def test_korda_and_python_give_the_same_dict_of_a_setup_file(korda, sim_program, tmp_path):
    subprocess.run([sim_program, "--write-recording", str(tmp_path), "--scans", "3"], check=True)
    from_korda = json.loads(run_korda(korda, "files", str(tmp_path) + "/", "config"))
    assert config_to_dict(read_recording_config(tmp_path)) == from_korda
    assert from_korda["computed"], "the recording holds computed channels"


def _odd_record(seed):
    """A record with something in every byte: codes without names, reserved
    bytes, bits without names, NaNs and infinities, texts beyond ASCII."""
    rng = random.Random(seed)
    config = VmrInstConfig()
    raw = (ctypes.c_uint8 * ctypes.sizeof(config)).from_buffer(config)
    for i in range(len(raw)):
        raw[i] = rng.randrange(256)
    texts = ["", "Oven \u00b0C", "\u6e29\u5ea6", "a\"b\\c", "\U0001f321 x", "\ud800 lone"]
    channels = [config.channel1] + list(config.computed)
    channels += [ch for area in config.modules for ch in area.channels]
    for ch in channels:
        set_text(ch.name, rng.choice(texts))
        set_text(ch.unit, rng.choice(texts))
    config.channel1.scaleM = float("nan")
    config.channel1.scaleB = float("-inf")
    config.modules[0].channels[0].function = 12
    config.modules[0].channels[0].range = 0x6401  # "J"
    config.computed[3].function = 0x500B
    return config


@pytest.mark.parametrize("seed", [1, 2])
def test_any_record_comes_back_byte_for_byte(seed):
    config = _odd_record(seed)
    document = json.loads(config_to_json(config))
    assert document["modules"][0]["channels"][0]["range"] == "J"
    assert document["channel1"]["scaleM"] == "NaN"
    assert bytes(config_from_dict(document)) == bytes(config)


def test_a_number_beyond_a_double_names_where():
    # The shared documents (test_json_rules) hold the other refusals; a
    # Python int beyond a double comes only from a dict.
    with pytest.raises(ValueError, match="channel 1: scaleM: expected a number"):
        config_from_dict({"channel1": {"scaleM": 10**400}})


@pytest.mark.parametrize("model", ["7043A", "5129A"])
def test_configure_and_read_back_through_the_instrument(korda, sim_program, model):
    from conftest import Sim

    sim = Sim(sim_program, "--model", model)
    try:
        document = json.loads(EXAMPLES[model].read_text())
        with Instrument(sim.address) as inst:
            inst.configure(document)
            back = config_to_dict(inst.read_config())
        assert back == document
        # korda reads the same instrument into the same JSON.
        assert json.loads(run_korda(korda, sim.address, "config", "get")) == document
    finally:
        sim.stop()


def test_a_record_without_channels_is_refused(sim):
    with Instrument(sim.address) as inst:
        with pytest.raises(KordaError) as failure:
            inst.configure({})
    assert failure.value.code == 100
