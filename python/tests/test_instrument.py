"""The Python layer against the virtual instrument over loopback."""

import datetime
import subprocess
import sys

import pytest

import korda32ext
from korda32ext import Instrument, KordaError

try:
    import numpy
except ImportError:
    numpy = None


def test_version_is_the_library_version():
    major, minor, patch, text = korda32ext.version()
    assert text == "%d.%d.%d" % (major, minor, patch)
    assert text == korda32ext.__version__


def test_open_identifies_the_model_and_closes(sim, sim_5129a):
    with Instrument(sim.address) as a, Instrument(sim_5129a.address) as b:
        assert (a.model, b.model) == ("7043A", "5129A")
        assert a.bcn != b.bcn
        a.check_model()
    assert a.bcn is None and b.bcn is None
    with pytest.raises(KordaError) as e:
        a.check_model()
    assert e.value.code == -2007


def test_a_wrong_model_is_a_mismatch(sim):
    with pytest.raises(KordaError) as e:
        Instrument(sim.address, model="5129A").open()
    assert (e.value.function, e.value.code) == ("dlxVmrModelCheck", -2021)
    # The failed open left nothing behind: the next one works.
    with Instrument(sim.address, model="7043A") as inst:
        assert inst.model == "7043A"


def test_refused_connection_carries_code_and_text(free_port):
    with pytest.raises(KordaError) as e:
        Instrument("tcp://127.0.0.1:%d" % free_port).open()
    assert e.value.code < 0
    assert e.value.text and e.value.text in str(e.value)
    assert str(e.value.code) in str(e.value)
    assert e.value.detail.startswith("connect 127.0.0.1:%d: " % free_port)
    assert e.value.detail in str(e.value)


def test_trace_gives_the_lines_of_an_exchange(sim):
    seen = []
    korda32ext.trace(lambda bcn, direction, text: seen.append((direction, text)))
    try:
        with Instrument(sim.address) as inst:
            count = inst.scan_count
    finally:
        korda32ext.trace(None)
    assert seen[0] == (korda32ext.TRACE_EVENT, "connect 127.0.0.1:%d" % sim.port)
    assert (korda32ext.TRACE_SENT, "SYST:COMM:TERM CRLF") in seen
    assert seen[-2:] == [(korda32ext.TRACE_SENT, "DATA:POIN?"), (korda32ext.TRACE_RECEIVED, str(count))]
    # Switched off: nothing more.
    before = len(seen)
    with Instrument(sim.address) as inst:
        assert inst.scan_count >= 0
    assert len(seen) == before


@pytest.mark.parametrize("address", ["tcp://localhost", "tcp://1.2.3.256", "usb:", "serial:1"])
def test_addresses_that_are_not_understood(address):
    with pytest.raises(ValueError):
        Instrument(address)


@pytest.mark.parametrize(
    "call",
    [
        lambda: Instrument("tcp://127.0.0.1:%d" % (5025 + 2**32)),
        lambda: Instrument("tcp://127.0.0.1:0"),
        lambda: Instrument("usb:%d" % 2**31),
        lambda: korda32ext.set_timeout(2**32),
        lambda: korda32ext.set_timeout(-1),
        lambda: korda32ext.set_timeout(4294968),
        lambda: korda32ext.set_timeout(1.5),
        lambda: Instrument("usb:1").scans(block=2**32),
        lambda: Instrument("usb:1").scans(limit=-1),
        lambda: Instrument("usb:1").monitor(1000),
        lambda: Instrument("usb:1").set_dio(2**32 + 1),
        lambda: korda32ext.read_recording("/nowhere", block=2**31),
        lambda: korda32ext.find_usb_instruments(2**31),
    ],
)
def test_numbers_the_library_would_cut_are_refused(call):
    with pytest.raises(ValueError, match="must be a whole number from"):
        call()


def test_direct_operations(sim):
    with Instrument(sim.address) as inst:
        inst.oem_identity = "bench-7\r\n"
        assert inst.oem_identity == "bench-7"  # control characters removed
        inst.set_dio(0b101, mask=0b111)
        assert inst.dio & 0b111 == 0b101
        inst.clear_totalizer()
        assert inst.totalizer == 0
        inst.set_clock(utc=True)


def test_scans_come_as_time_stamps_and_readings(sim):
    sim.send("ROUT:SCAN (@101:103)", "TRIG:TIM 1", "TRIG:COUN 0")
    with Instrument(sim.address) as inst:
        inst.clear_scans()
        inst.start()
        deadline = datetime.datetime.now() + datetime.timedelta(seconds=30)
        while inst.scan_count < 1:  # the first sweep is immediate
            assert datetime.datetime.now() < deadline
        inst.stop()
        held = inst.scan_count
        times, readings = inst.scans()
        assert inst.scan_count == 0
        assert [len(x) for x in inst.scans()] == [0, 0]  # nothing more held
    assert len(times) == len(readings) == held >= 1
    if numpy is not None:
        assert readings.shape == (held, 3) and readings.dtype == numpy.float32
        assert times.dtype == numpy.dtype("datetime64[ms]")
    else:
        assert all(len(row) == 3 for row in readings)
        stamp = times[0]
        assert isinstance(stamp, datetime.datetime)
        assert abs((stamp - datetime.datetime.now()).total_seconds()) < 2 * 86400


def test_recording_read_back(sim_program, tmp_path):
    subprocess.run([sim_program, "--write-recording", str(tmp_path), "--scans", "70"], check=True)
    times, readings = korda32ext.read_recording(tmp_path, block=32)
    assert len(times) == len(readings) == 70  # three blocks: 32, 32, 6
    assert len(set(map(str, times))) == 70
    assert all(len(row) == len(readings[0]) > 0 for row in readings)
    config = korda32ext.read_recording_config(tmp_path)
    assert 1 <= config.modules[0].channels[0].function <= 13  # channel 101 is set up


def test_recording_that_fails_its_check(sim_program, tmp_path):
    subprocess.run([sim_program, "--write-recording", str(tmp_path), "--scans", "5"], check=True)
    data = tmp_path / "dat00001.csv"
    lines = data.read_bytes().split(b"\n")
    fields = lines[3].split(b",")  # a reading of the third scan, changed
    fields[2] = fields[2].replace(b"0", b"9", 1)
    lines[3] = b",".join(fields)
    data.write_bytes(b"\n".join(lines))
    with pytest.raises(KordaError) as e:
        korda32ext.read_recording(tmp_path)
    assert e.value.code == -2034
    with pytest.raises(KordaError) as e:
        korda32ext.read_recording(tmp_path / "missing")
    assert e.value.code == -2034


@pytest.mark.skipif(sys.platform == "win32", reason="pseudo-terminals are POSIX")
def test_usb_address_reaches_a_virtual_com_port(sim_program, tmp_path, monkeypatch):
    link = tmp_path / "ttyKORDA"
    process = subprocess.Popen(
        [sim_program, "--model", "5129A", "--pty", "--link", str(link)], stdout=subprocess.PIPE, text=True
    )
    try:
        assert "pseudo-terminal" in process.stdout.readline()
        monkeypatch.setenv("KORDA_COM7", str(link))  # COM7 is this terminal
        with Instrument("usb:7") as inst:
            assert inst.model == "5129A"
            inst.check_model()
    finally:
        process.terminate()
        process.wait(timeout=10)
