"""A Pythonic layer over the C interface: instruments as context managers,
failures as exceptions, scans as arrays."""

import ctypes
import datetime
import itertools
import re
import threading
from collections import namedtuple

from ._library import lib
from .config import config_from_dict, config_from_json
from .errors import KordaError, check, error_text
from .records import (
    MAX_READINGS_PER_SCAN,
    SCAN_ENTRY_HEADER_SIZE,
    SCAN_RECORD_HEADER_SIZE,
    ScanEntry,
    ScanRecord,
    VmrInstConfig,
    scan_buffer_size,
)

try:
    import numpy
except ImportError:  # readings then come as lists
    numpy = None

MODELS = {"7043A": 4, "5129A": 5}
_MODEL_NAMES = {code: name for name, code in MODELS.items()}
_INTERFACE_USB = 0
_INTERFACE_TCPIP = 1
_ALREADY_INITIALIZED = -2001
_MODEL_MISMATCH = -2021
_NO_CHANNEL = 100  # dlxVmrConfigSet: the record scans no channel

_INT32_MAX = 2**31 - 1
_UINT32_MAX = 2**32 - 1
_TIMEOUT_MAX = _UINT32_MAX // 1000  # seconds the library holds in milliseconds

Scans = namedtuple("Scans", "times readings")
Scans.__doc__ = """Scans fetched from an instrument or read from a recording.

times: the time stamp of each scan to the millisecond (datetime, or a NumPy
    datetime64[ms] array); readings: one row per scan (a NumPy float32 array of
    shape (scans, readings per scan), or a list of lists)."""


def version():
    """The library's version: (major, minor, patch, text)."""
    numbers = [ctypes.c_int() for _ in range(3)]
    text = ctypes.create_string_buffer(32)
    check(
        "dlxVmrGetVersion",
        lib().dlxVmrGetVersion(*(ctypes.byref(n) for n in numbers), text, len(text)),
    )
    return tuple(n.value for n in numbers) + (text.value.decode("ascii"),)


# The library is started by the first open instrument and stopped after the
# last one closes. Each open instrument has its own BCN, the lowest free one.
_state_lock = threading.Lock()
_users = 0
_bcns_in_use = set()


def _acquire(take_bcn=False):
    global _users
    with _state_lock:
        if _users == 0:
            status = lib().dlxVmrLibInit(0)
            if status != _ALREADY_INITIALIZED:
                check("dlxVmrLibInit", status)
        _users += 1
        if not take_bcn:
            return None
        bcn = next(n for n in itertools.count(1) if n not in _bcns_in_use)
        _bcns_in_use.add(bcn)
        return bcn


def _release(bcn=None):
    global _users
    with _state_lock:
        _bcns_in_use.discard(bcn)
        _users -= 1
        if _users == 0:
            lib().dlxVmrLibExit()


def _whole(what, value, lowest, highest):
    """value, a whole number from lowest to highest; anything else (which the
    library would cut to its argument's width) raises ValueError."""
    if isinstance(value, bool) or not isinstance(value, int) or not lowest <= value <= highest:
        raise ValueError("%s must be a whole number from %d to %d, not %r" % (what, lowest, highest, value))
    return value


def _parse_address(address):
    """(interface kind, port, address bytes) of "tcp://HOST[:PORT]" or "usb:N"."""
    m = re.fullmatch(r"tcp://(\d+)\.(\d+)\.(\d+)\.(\d+)(?::(\d+))?", address)
    if m:
        parts = [int(p) for p in m.group(1, 2, 3, 4)]
        if max(parts) > 255:
            raise ValueError("not an IPv4 address: %r" % address)
        port = _whole("the port", int(m.group(5) or 5025), 1, 65535)
        return _INTERFACE_TCPIP, port, bytes(parts)
    m = re.fullmatch(r"usb:(\d+)", address)
    if m:
        return _INTERFACE_USB, _whole("the COM number", int(m.group(1)), 0, _INT32_MAX), bytes(4)
    raise ValueError('address must be "tcp://A.B.C.D[:PORT]" or "usb:N", not %r' % address)


def _stamp(entry):
    # The entry's fraction holds the milliseconds of the time stamp.
    return datetime.datetime(
        2000 + entry.year,
        entry.month,
        entry.day,
        entry.hour,
        entry.minute,
        entry.second,
        min(max(entry.fraction, 0), 999) * 1000,
    )


def _collect(buffer, scans):
    """Appends the scans of a filled scan buffer to scans (times, rows)."""
    record = ScanRecord.from_buffer(buffer)
    count = record.scanCount
    size = record.entrySize
    readings = (size - SCAN_ENTRY_HEADER_SIZE) // 4
    for n in range(count):
        at = SCAN_RECORD_HEADER_SIZE + n * size
        entry = ScanEntry.from_buffer(buffer, at)
        scans[0].append(_stamp(entry))
        values = (ctypes.c_float * readings).from_buffer(buffer, at + SCAN_ENTRY_HEADER_SIZE)
        scans[1].append(list(values))
    return record


def _result(times, rows):
    if numpy is None:
        return Scans(times, rows)
    width = len(rows[0]) if rows else 0
    return Scans(
        numpy.array(times, dtype="datetime64[ms]"),
        numpy.array(rows, dtype=numpy.float32).reshape(len(rows), width),
    )


def _wide_dir(directory):
    text = str(directory)
    return text if text.endswith(("/", "\\")) else text + "/"


def read_recording(directory, block=256):
    """Every scan of a recording copied from the instrument's USB drive (a
    directory with setup.csv and dat00001.csv), after verifying the check
    code of every line."""
    _whole("block", block, 1, _INT32_MAX)
    path = _wide_dir(directory)
    total = ctypes.c_int()
    check(
        "dlxVmrPCCardScansFileCountW",
        lib().dlxVmrPCCardScansFileCountW(0, path + "dat00001.csv", ctypes.byref(total)),
    )
    buffer = ctypes.create_string_buffer(scan_buffer_size(block))
    record = ctypes.cast(buffer, ctypes.POINTER(ScanRecord))
    scans = ([], [])
    while len(scans[0]) < total.value:
        start = len(scans[0])
        check("dlxVmrPCCardScansFileGet", lib().dlxVmrPCCardScansFileGet(0, path, block, start, record))
        _collect(buffer, scans)
    return _result(*scans)


def read_recording_config(directory):
    """The configuration record of a recording's setup.csv (a VmrInstConfig)."""
    config = VmrInstConfig()
    check(
        "dlxVmrPCCardConfigFile",
        lib().dlxVmrPCCardConfigFile(0, _wide_dir(directory), ctypes.byref(config), 0, 0),
    )
    return config


class Instrument:
    """One instrument, reached over TCP/IP ("tcp://192.168.0.20:5025") or a
    USB virtual COM port ("usb:3"; "usb:0" searches COM1 to COM64).

    The model ("7043A" or "5129A") is checked on opening; without one, the
    instrument's own identification decides. Use it as a context manager:

        with Instrument("tcp://127.0.0.1:5025") as inst:
            print(inst.model, inst.scans())
    """

    def __init__(self, address, model=None):
        self.address = address
        self._kind, self._port, self._ip = _parse_address(address)
        if model is not None and model not in MODELS:
            raise ValueError("model must be one of %s" % ", ".join(MODELS))
        self._wanted = model
        self.model = None
        self.bcn = None

    # -- connection ---------------------------------------------------------

    def open(self):
        if self.bcn is not None:
            return self
        bcn = _acquire(take_bcn=True)
        try:
            self._connect(bcn)
        except BaseException:
            _release(bcn)
            raise
        self.bcn = bcn
        return self

    def _connect(self, bcn):
        ip = (ctypes.c_uint8 * 4)(*self._ip)
        tried = [self._wanted] if self._wanted else list(MODELS)
        for name in tried:
            check("dlxVmrCCFsetBCN", lib().dlxVmrCCFsetBCN(bcn, self._kind, self._port, ip, MODELS[name]))
            check("dlxVmrCommOpen", lib().dlxVmrCommOpen(bcn))
            status = lib().dlxVmrModelCheck(bcn)
            if status == 1:
                self.model = name
                return
            lib().dlxVmrCommClose(bcn)
            if status != _MODEL_MISMATCH or name == tried[-1]:
                check("dlxVmrModelCheck", status)

    def close(self):
        if self.bcn is None:
            return
        bcn, self.bcn = self.bcn, None
        try:
            check("dlxVmrCommClose", lib().dlxVmrCommClose(bcn))
        finally:
            _release(bcn)

    def __enter__(self):
        return self.open()

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        state = "open" if self.bcn is not None else "closed"
        return "Instrument(%r, model=%r) [%s]" % (self.address, self.model, state)

    def _call(self, name, *args):
        return check(name, self._call_status(name, *args))

    def _call_status(self, name, *args):
        if self.bcn is None:
            raise KordaError(name, -2007, "the instrument is not open")
        return getattr(lib(), name)(self.bcn, *args)

    # -- direct operations --------------------------------------------------

    def check_model(self):
        """Checks that the instrument still identifies as the model opened."""
        self._call("dlxVmrModelCheck")

    @property
    def oem_identity(self):
        """The OEM identity text kept in the instrument's flash memory."""
        buffer = ctypes.create_string_buffer(256)
        self._call("dlxVmrOEMIdentityGetA", buffer, len(buffer))
        return buffer.value.decode("latin-1")

    @oem_identity.setter
    def oem_identity(self, text):
        self._call("dlxVmrOEMIdentitySetA", text.encode("latin-1"))

    @property
    def dio(self):
        """The digital I/O byte."""
        value = ctypes.c_int()
        self._call("dlxVmrDIOGet", ctypes.byref(value))
        return value.value

    def set_dio(self, value, mask=0xFF):
        """Sets the bits of the digital I/O byte selected by mask."""
        self._call("dlxVmrDIOSet", _whole("mask", mask, -_INT32_MAX - 1, _INT32_MAX),
                   _whole("value", value, -_INT32_MAX - 1, _INT32_MAX))

    @property
    def totalizer(self):
        value = ctypes.c_int()
        self._call("dlxVmrTotalizerGet", ctypes.byref(value))
        return value.value

    def clear_totalizer(self):
        self._call("dlxVmrTotalizerClear")

    def set_clock(self, utc=False):
        """Sets the instrument's clock from this computer's, in local time or UTC."""
        self._call("dlxVmrTimeSetUTC" if utc else "dlxVmrTimeSet")

    # -- configuration ------------------------------------------------------

    def configure(self, config, skip_unchanged=False):
        """Configures the whole instrument from a record: a VmrInstConfig, or
        a dict or JSON text of the form "korda config get" writes. With
        skip_unchanged, an instrument that already runs the same record is
        left alone. A record that scans no channel raises KordaError (code
        100); nothing is sent then."""
        if isinstance(config, str):
            config = config_from_json(config)
        elif isinstance(config, dict):
            config = config_from_dict(config)
        # The library may adjust the record it is given; the caller's stays.
        sent = VmrInstConfig.from_buffer_copy(config)
        detail = ctypes.c_int()
        status = self._call_status(
            "dlxVmrConfigSet", ctypes.byref(sent), 1 if skip_unchanged else 0, ctypes.byref(detail)
        )
        if status == _NO_CHANNEL:
            raise KordaError("dlxVmrConfigSet", status, error_text(status))

    def read_config(self):
        """The configuration the instrument runs, read back (a VmrInstConfig;
        config_to_dict gives korda's JSON form of it)."""
        config = VmrInstConfig()
        self._call("dlxVmrConfigGet", ctypes.byref(config))
        return config

    # -- scanning -----------------------------------------------------------

    def start(self):
        """Starts scanning."""
        self._call("dlxVmrScansEnable", 1)

    def stop(self):
        """Stops scanning."""
        self._call("dlxVmrScansEnable", 0)

    @property
    def scan_count(self):
        """The number of scans the instrument holds."""
        count = ctypes.c_int()
        self._call("dlxVmrScansCount", ctypes.byref(count))
        return count.value

    def clear_scans(self):
        """Discards the scans the instrument holds."""
        self._call("dlxVmrScansClear")

    def scans(self, limit=None, block=64):
        """Fetches the scans the instrument holds (at most limit), `block` at
        a time. The scans fetched leave the instrument."""
        _whole("block", block, 1, _UINT32_MAX)
        if limit is not None:
            _whole("limit", limit, 0, _UINT32_MAX)
        buffer = ctypes.create_string_buffer(scan_buffer_size(block))
        record = ctypes.cast(buffer, ctypes.POINTER(ScanRecord))
        scans = ([], [])
        while limit is None or len(scans[0]) < limit:
            want = block if limit is None else min(block, limit - len(scans[0]))
            self._call("dlxVmrScansGet", want, record)
            got = _collect(buffer, scans)
            if got.scanCount == 0 or got.scansRemaining <= 0:
                break
        return _result(*scans)

    def monitor(self, channel):
        """One reading of a channel, taken with the channel monitor."""
        # The reading is fetched by BCN * 1000 + channel.
        _whole("channel", channel, 1, 999)
        self._call("dlxVmrInstMonitor", 1, channel)
        reading = ctypes.c_float()
        check("dlxVmrSpyGet", lib().dlxVmrSpyGet(self.bcn * 1000 + channel, ctypes.byref(reading)))
        return reading.value


def get_timeout():
    """The library's reply timeout in seconds (needs an open instrument or a
    started library)."""
    seconds = ctypes.c_uint32()
    check("dlxVmrTimeoutGet", lib().dlxVmrTimeoutGet(ctypes.byref(seconds)))
    return seconds.value


def set_timeout(seconds):
    """Sets the library's reply timeout, 0 to 4294967 seconds."""
    _whole("the timeout (seconds)", seconds, 0, _TIMEOUT_MAX)
    check("dlxVmrTimeoutSet", lib().dlxVmrTimeoutSet(seconds))


def find_usb_instruments(highest=64):
    """The instruments on the USB virtual COM ports: a list of (COM number, model)."""
    _whole("highest", highest, 1, _INT32_MAX)
    ports = (ctypes.c_int * highest)()
    models = (ctypes.c_int * highest)()
    _acquire()
    try:
        check("dlxVmrUsbEnum", lib().dlxVmrUsbEnum(ports, models, highest))
    finally:
        _release()
    return [(p, _MODEL_NAMES.get(m, m)) for p, m in zip(ports, models) if p > 0]
