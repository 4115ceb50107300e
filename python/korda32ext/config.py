"""The configuration record as a dict and as JSON, in the form the korda tool
reads and writes ("korda config get", "korda config set FILE"): every field
by its name, codes by the names the instrument uses ("TEMP_TC", "AUTO", "K"),
and only the channels that hold something. A dict made from a record gives
the same record back, byte for byte, except text after a name's terminator.

    cfg = config_from_json(open("examples/5129A-thermocouples.json").read())
    print(config_to_dict(cfg)["modules"][0]["channels"][0]["function"])
"""

import ctypes
import json
import math
import struct

from .jsontext import NegativeZero, loads, quoted
from .records import (
    VMR_CHANNELS_PER_AREA,
    VMR_COMPUTED_CHANNELS,
    VMR_MODULE_AREAS,
    VMR_TEXT_UNITS,
    ChannelRecord,
    ComputedChannelRecord,
    VmrInstConfig,
)

_OFF = 0xFFFFFFFF

_ANALOG_FUNCTIONS = {
    0: "NONE", 1: "VOLT", 2: "VOLT_AC", 3: "CURR", 4: "CURR_AC", 5: "RES", 6: "FRES",
    7: "TEMP_RTD", 8: "TEMP_TRTD", 9: "TEMP_FRTD", 10: "TEMP_THER", 11: "TEMP_FTH",
    12: "TEMP_TC", 13: "FREQ", _OFF: "OFF",
}
_COMPUTED_FUNCTIONS = {0: "NONE", _OFF: "OFF"}
_COMPUTED_FUNCTIONS.update(
    (0x5000 + k, name)
    for k, name in enumerate(
        "POLY SRO POW EXP LOG ABS REC SUB ADD MULT DIV AVER MAX MIN SUM".split()
    )
)


def _ranges(first, names, codes=None):
    codes = codes or range(first, first + len(names))
    return dict(zip(codes, names))


_VOLTS = ["100mV", "1V", "10V", "50V", "100V", "150V", "300V", "AUTO"]
_AMPS = ["100uA", "1mA", "10mA", "100mA", "AUTO"]
_OHMS = ["100ohm", "1kohm", "10kohm", "100kohm", "1Mohm", "10Mohm", "100Mohm", "AUTO"]
_RTD = _ranges(80, ["SPRT", "A385", "A392", "ABC"])
_THERMISTOR = {96: "R2K2", 97: "R5K", 99: "R10K", 100: "RPOL"}
_THERMOCOUPLE = {0x6001 + 0x100 * k: t for k, t in enumerate("KTRSJNEBCDGLMUW")}
_THERMOCOUPLE[0x6F01] = "POLY"
# The names of the range field follow the channel's function.
_RANGES = {
    1: _ranges(16, _VOLTS),
    2: _ranges(32, _VOLTS),
    3: _ranges(0, _AMPS, [48, 49, 51, 52, 53]),
    4: _ranges(64, _AMPS),
    5: _ranges(1, _OHMS),
    6: _ranges(1, _OHMS),
    7: _RTD, 8: _RTD, 9: _RTD,
    10: _THERMISTOR, 11: _THERMISTOR,
    12: _THERMOCOUPLE,
}

_DESTINATIONS = {0: "OFF", 1: "MEM", 2: "MMEM"}
_AUTO_ORDERS = {0: "LIN", 1: "ALT", 2: "REV", 3: "000"}
_TRIGGER_SOURCES = {0: "TIM", 1: "EXT", 2: "ALAR", 3: "AUTO"}
_TOTALIZER_TYPES = {0: "READ", 1: "RRES"}
_REF_JUNCTIONS = {0: "INT", 1: "FIX", 2: "EXT"}
_MODULE_STATES = {0: "PRESENT", 0xFFFFFFFF: "ABSENT"}
_RATES = {0: "FAST", 1: "MEDIUM", 3: "SLOW", 6: "NPLC"}
_RATE_MASK = 0x7

_INSTRUMENT_FLAGS = [
    (0x10, "fahrenheit"),
    (0x20, "dataSecurity"),
    (0x40, "autoTriggerContinuous"),
    (0x80, "resumeAfterPowerLoss"),
]
_ALARM_BITS = [(0x02, "alarm1Low"), (0x04, "alarm1High"), (0x08, "alarm2Low"), (0x10, "alarm2High")]
_CHANNEL_ALARM_FLAGS = [(0x01, "triggersScan")] + _ALARM_BITS
_COMPUTED_ALARM_FLAGS = _ALARM_BITS

_INSTRUMENT_KEYS = [
    "flags", "intervalHours", "intervalMinutes", "intervalSeconds", "triggerSource",
    "triggerCount", "alarmTriggerChannel", "autoTriggerOrder", "autoReferenceChannel",
    "autoSecondReferenceChannel", "recordDestination", "totalizerState", "totalizerType",
    "totalizerDebounce", "totalizerCount", "reserved16", "channel1", "computed", "modules",
]
_ANALOG_KEYS = [
    "channel", "function", "range", "name", "unit", "shuntOhms", "scaleM", "scaleB",
    "alarmFlags", "alarm1Limit", "alarm2Limit", "alarm1Output", "alarm2Output", "sensorCoef",
    "nplc", "delay", "openDetect", "refJunction", "reserved20",
]
_COMPUTED_KEYS = [
    "channel", "function", "sourceA", "sourceB", "sourceList", "listHasChannel1",
    "coefficients", "name", "unit", "scaleM", "scaleB", "alarmFlags", "alarm1Limit",
    "alarm2Limit", "alarm1Output", "alarm2Output", "reserved32", "reserved1160",
]
_MODULE_KEYS = ["slot", "moduleState", "reserved4", "channels"]
_ANALOG_REALS = ("shuntOhms", "scaleM", "scaleB", "alarm1Limit", "alarm2Limit", "nplc", "delay")

# ---- Writing ---------------------------------------------------------------

_QUIET_NAN = 0x7FF8000000000000


def _real(value):
    # JSON has no NaN or infinities: they travel as texts, a NaN other than
    # the usual one with its bits.
    if math.isnan(value):
        bits = struct.unpack("<Q", struct.pack("<d", value))[0]
        return "NaN" if bits == _QUIET_NAN else "NaN(0x%016X)" % bits
    if math.isinf(value):
        return "Infinity" if value > 0 else "-Infinity"
    return value


def _code(table, code):
    return table.get(code, code)


def _switch(word):
    return word == 1 if word <= 1 else word


def _bits(names, word):
    out = {name: bool(word & mask) for mask, name in names}
    named = 0
    for mask, _ in names:
        named |= mask
    if word & ~named:
        out["otherBits"] = word & ~named
    return out


def _text(units):
    data = bytes(units)
    end = 0
    while end < len(data) and (data[end] or data[end + 1]):
        end += 2
    return data[:end].decode("utf-16-le", errors="surrogatepass")


def _zero(obj):
    return not any(bytes(obj))


def _set_reserved(out, key, array):
    if any(bytes(array)):
        out[key] = list(bytes(array))


def _analog_dict(c, number):
    out = {"channel": number} if number else {}
    out.update(
        function=_code(_ANALOG_FUNCTIONS, c.function),
        range=_code(_RANGES.get(c.function, {}), c.range),
        name=_text(c.name),
        unit=_text(c.unit),
        shuntOhms=_real(c.shuntOhms),
        scaleM=_real(c.scaleM),
        scaleB=_real(c.scaleB),
        alarmFlags=_bits(_CHANNEL_ALARM_FLAGS, c.alarmFlags),
        alarm1Limit=_real(c.alarm1Limit),
        alarm2Limit=_real(c.alarm2Limit),
        alarm1Output=c.alarm1Output,
        alarm2Output=c.alarm2Output,
        sensorCoef=[_real(v) for v in c.sensorCoef],
        nplc=_real(c.nplc),
        delay=_real(c.delay),
        openDetect=_switch(c.openDetect),
        refJunction=_code(_REF_JUNCTIONS, c.refJunction),
    )
    _set_reserved(out, "reserved20", c.reserved20)
    return out


def _computed_dict(c, number):
    out = dict(
        channel=number,
        function=_code(_COMPUTED_FUNCTIONS, c.function),
        sourceA=c.sourceA,
        sourceB=c.sourceB,
        # Bit b of word k of a source list is channel 101 + 100 k + b.
        sourceList=[
            101 + 100 * k + b for k in range(5) for b in range(32) if c.sourceList[k] >> b & 1
        ],
        listHasChannel1=_switch(c.listHasChannel1),
        coefficients=[_real(v) for v in c.coefficients],
        name=_text(c.name),
        unit=_text(c.unit),
        scaleM=_real(c.scaleM),
        scaleB=_real(c.scaleB),
        alarmFlags=_bits(_COMPUTED_ALARM_FLAGS, c.alarmFlags),
        alarm1Limit=_real(c.alarm1Limit),
        alarm2Limit=_real(c.alarm2Limit),
        alarm1Output=c.alarm1Output,
        alarm2Output=c.alarm2Output,
    )
    _set_reserved(out, "reserved32", c.reserved32)
    _set_reserved(out, "reserved1160", c.reserved1160)
    return out


def config_to_dict(config):
    """The record (a VmrInstConfig) as a dict of korda's JSON form."""
    c = config
    flags = {"rate": _code(_RATES, c.flags & _RATE_MASK)}
    flags.update(_bits(_INSTRUMENT_FLAGS, c.flags & ~_RATE_MASK))
    out = dict(
        flags=flags,
        intervalHours=c.intervalHours,
        intervalMinutes=c.intervalMinutes,
        intervalSeconds=c.intervalSeconds,
        triggerSource=_code(_TRIGGER_SOURCES, c.triggerSource),
        triggerCount=c.triggerCount,
        alarmTriggerChannel=c.alarmTriggerChannel,
        autoTriggerOrder=_code(_AUTO_ORDERS, c.autoTriggerOrder),
        autoReferenceChannel=c.autoReferenceChannel,
        autoSecondReferenceChannel=c.autoSecondReferenceChannel,
        recordDestination=_code(_DESTINATIONS, c.recordDestination),
        totalizerState=_switch(c.totalizerState),
        totalizerType=_code(_TOTALIZER_TYPES, c.totalizerType),
        totalizerDebounce=_switch(c.totalizerDebounce),
        totalizerCount=c.totalizerCount,
    )
    if any(c.reserved16):
        out["reserved16"] = list(c.reserved16)
    out["channel1"] = _analog_dict(c.channel1, 0)
    out["computed"] = [
        _computed_dict(ch, 501 + i) for i, ch in enumerate(c.computed) if not _zero(ch)
    ]
    modules = []
    for m, area in enumerate(c.modules):
        if _zero(area):
            continue
        mo = {"slot": m + 1, "moduleState": _code(_MODULE_STATES, area.moduleState)}
        _set_reserved(mo, "reserved4", area.reserved4)
        mo["channels"] = [
            _analog_dict(ch, 100 * m + 101 + k)
            for k, ch in enumerate(area.channels)
            if not _zero(ch)
        ]
        modules.append(mo)
    out["modules"] = modules
    return out


def config_to_json(config):
    """The record as korda's JSON text (two-space indentation)."""
    return json.dumps(config_to_dict(config), indent=2, ensure_ascii=False) + "\n"


# ---- Reading ---------------------------------------------------------------


class _Reader:
    """Reads values of a document, naming where a bad one stands."""

    def __init__(self, where=""):
        self.where = where

    def fail(self, what):
        raise ValueError("%s: %s" % (self.where, what) if self.where else what)

    def field(self, key):
        return _Reader("%s: %s" % (self.where, key) if self.where else key)

    def only_keys(self, obj, keys):
        if not isinstance(obj, dict):
            self.fail("expected an object")
        for key in obj:
            if key not in keys:
                self.fail("unknown field %s" % quoted(key))

    def word(self, v):
        if isinstance(v, bool) or not isinstance(v, int) or not 0 <= v <= 0xFFFFFFFF:
            self.fail("expected a whole number from 0 to 4294967295")
        return v

    def code(self, table, v):
        if isinstance(v, str):
            for code, name in table.items():
                if name == v:
                    return code
            names = ", ".join(table.values())
            hint = " (one of %s, or a number)" % names if names else " (give the code as a number)"
            self.fail("unknown name %s%s" % (quoted(v), hint))
        return self.word(v)

    def switch(self, v):
        return int(v) if isinstance(v, bool) else self.word(v)

    def real(self, v):
        if isinstance(v, str):
            special = {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}
            if v in special:
                return special[v]
            if len(v) == 23 and v.startswith("NaN(0x") and v.endswith(")"):
                try:
                    d = struct.unpack("<d", struct.pack("<Q", int(v[6:22], 16)))[0]
                except ValueError:
                    d = 0.0
                if math.isnan(d):
                    return d
        elif isinstance(v, NegativeZero):
            return -0.0
        elif isinstance(v, float) or (isinstance(v, int) and not isinstance(v, bool)):
            try:
                return float(v)
            except OverflowError:  # a whole number beyond any double
                pass
        self.fail("expected a number")

    def bits(self, names, v):
        """The named bits by name, the others as "otherBits", which may not
        hold a named bit (so a bit given as false stays off)."""
        if not isinstance(v, dict):
            return self.word(v)
        out = 0
        for key, item in v.items():
            if key == "otherBits":
                other = self.field("otherBits").word(item)
                for mask, name in names:
                    if other & mask:
                        self.field("otherBits").fail('holds the bit of "%s"; give it by name' % name)
                out |= other
                continue
            mask = next((m for m, n in names if n == key), None)
            if mask is None:
                self.fail("unknown flag %s" % quoted(key))
            if not isinstance(item, bool):
                self.field(key).fail("expected true or false")
            if item:
                out |= mask
        return out

    def reals(self, v, out):
        if not isinstance(v, list) or len(v) > len(out):
            self.fail("expected a list of at most %d numbers" % len(out))
        for i, item in enumerate(v):
            out[i] = self.real(item)

    def bytes_(self, v, out):
        if not isinstance(v, list) or len(v) != len(out):
            self.fail("expected a list of %d bytes" % len(out))
        for i, item in enumerate(v):
            if self.word(item) > 255:
                self.fail("expected a byte from 0 to 255")
            out[i] = item

    def text(self, v, out):
        if not isinstance(v, str):
            self.fail("expected a text in quotes")
        if "\0" in v:
            self.fail("the text holds a NUL character")
        data = v.encode("utf-16-le", errors="surrogatepass")
        if len(data) // 2 >= VMR_TEXT_UNITS:
            self.fail("longer than %d characters" % (VMR_TEXT_UNITS - 1))
        ctypes.memset(out, 0, ctypes.sizeof(out))
        ctypes.memmove(out, data, len(data))


def _channel_number(r, obj):
    n = obj.get("channel") if isinstance(obj, dict) else None
    if n is None:
        r.fail('every channel needs its "channel" number')
    if isinstance(n, bool) or not isinstance(n, int) or not 1 <= n <= 999:
        r.fail('"channel" must be a channel number')
    return n


def _read_analog(r, obj, c):
    r.only_keys(obj, _ANALOG_KEYS)
    # The range's names follow the function, so the function comes first.
    if "function" in obj:
        c.function = r.field("function").code(_ANALOG_FUNCTIONS, obj["function"])
    for key, v in obj.items():
        f = r.field(key)
        if key == "range":
            c.range = f.code(_RANGES.get(c.function, {}), v)
        elif key in ("name", "unit"):
            f.text(v, getattr(c, key))
        elif key in _ANALOG_REALS:
            setattr(c, key, f.real(v))
        elif key == "alarmFlags":
            c.alarmFlags = f.bits(_CHANNEL_ALARM_FLAGS, v)
        elif key in ("alarm1Output", "alarm2Output"):
            setattr(c, key, f.word(v))
        elif key == "sensorCoef":
            f.reals(v, c.sensorCoef)
        elif key == "openDetect":
            c.openDetect = f.switch(v)
        elif key == "refJunction":
            c.refJunction = f.code(_REF_JUNCTIONS, v)
        elif key == "reserved20":
            f.bytes_(v, c.reserved20)


def _read_computed(r, obj, c):
    r.only_keys(obj, _COMPUTED_KEYS)
    for key, v in obj.items():
        f = r.field(key)
        if key == "function":
            c.function = f.code(_COMPUTED_FUNCTIONS, v)
        elif key in ("sourceA", "sourceB", "alarm1Output", "alarm2Output"):
            setattr(c, key, f.word(v))
        elif key == "sourceList":
            if not isinstance(v, list):
                f.fail("expected a list of channel numbers")
            for n in v:
                whole = isinstance(n, int) and not isinstance(n, bool)
                k, b = divmod(n - 101, 100) if whole else (-1, -1)
                if not (0 <= k <= 4 and 0 <= b <= 31):
                    f.fail("a source channel must be one of 101-132, 201-232, ... 501-532")
                c.sourceList[k] |= 1 << b
        elif key == "listHasChannel1":
            c.listHasChannel1 = f.switch(v)
        elif key == "coefficients":
            f.reals(v, c.coefficients)
        elif key in ("name", "unit"):
            f.text(v, getattr(c, key))
        elif key in ("scaleM", "scaleB", "alarm1Limit", "alarm2Limit"):
            setattr(c, key, f.real(v))
        elif key == "alarmFlags":
            c.alarmFlags = f.bits(_COMPUTED_ALARM_FLAGS, v)
        elif key in ("reserved32", "reserved1160"):
            f.bytes_(v, getattr(c, key))


def _read_flags(r, v):
    if not isinstance(v, dict):
        return r.word(v)
    out = 0
    rest = {}
    for key, item in v.items():
        if key == "rate":
            rate = r.field("rate").code(_RATES, item)
            if rate > _RATE_MASK:
                r.field("rate").fail("a rate code is 0 to 7")
            out |= rate
        else:
            rest[key] = item
    bits = r.bits(_INSTRUMENT_FLAGS, rest)
    if bits & _RATE_MASK:
        r.field("otherBits").fail('bits 0-2 are the rate; give them as "rate"')
    return out | bits


def _read_module(r, obj, config, seen):
    r.only_keys(obj, _MODULE_KEYS)
    slot = obj.get("slot")
    if isinstance(slot, bool) or not isinstance(slot, int) or not 1 <= slot <= VMR_MODULE_AREAS:
        r.fail('every module needs its "slot", 1 to %d' % VMR_MODULE_AREAS)
    here = _Reader("slot %d" % slot)
    if slot in seen:
        here.fail("given twice")
    seen.add(slot)
    m = slot - 1
    area = config.modules[m]
    if "moduleState" in obj:
        area.moduleState = here.field("moduleState").code(_MODULE_STATES, obj["moduleState"])
    if "reserved4" in obj:
        here.field("reserved4").bytes_(obj["reserved4"], area.reserved4)
    channels = obj.get("channels", [])
    if not isinstance(channels, list):
        here.field("channels").fail("expected a list of channels")
    given = set()
    for ch in channels:
        n = _channel_number(here, ch)
        k = n - (100 * m + 101)
        if not 0 <= k < VMR_CHANNELS_PER_AREA:
            first = 100 * m + 101
            here.fail(
                "channel %d is not in this slot (%d to %d)"
                % (n, first, first + VMR_CHANNELS_PER_AREA - 1)
            )
        cr = _Reader("channel %d" % n)
        if k in given:
            cr.fail("given twice")
        given.add(k)
        _read_analog(cr, ch, area.channels[k])


def config_from_dict(document):
    """A VmrInstConfig from a dict of korda's JSON form. An absent field stays
    zero; an unknown field, a wrong kind of value or an out-of-range number
    raises ValueError naming where ("channel 101: range: ...")."""
    c = VmrInstConfig()
    r = _Reader()
    r.only_keys(document, _INSTRUMENT_KEYS)
    words = {
        "intervalHours", "intervalMinutes", "intervalSeconds", "triggerCount",
        "alarmTriggerChannel", "autoReferenceChannel", "autoSecondReferenceChannel",
        "totalizerCount",
    }
    codes = {
        "triggerSource": _TRIGGER_SOURCES,
        "autoTriggerOrder": _AUTO_ORDERS,
        "recordDestination": _DESTINATIONS,
        "totalizerType": _TOTALIZER_TYPES,
    }
    for key, v in document.items():
        f = r.field(key)
        if key == "flags":
            c.flags = _read_flags(f, v)
        elif key in words:
            setattr(c, key, f.word(v))
        elif key in codes:
            setattr(c, key, f.code(codes[key], v))
        elif key in ("totalizerState", "totalizerDebounce"):
            setattr(c, key, f.switch(v))
        elif key == "reserved16":
            if not isinstance(v, list) or len(v) != 9:
                f.fail("expected a list of 9 numbers")
            for i, item in enumerate(v):
                c.reserved16[i] = f.word(item)
        elif key == "channel1":
            cr = _Reader("channel 1")
            if isinstance(v, dict) and v.get("channel", 1) != 1:
                cr.fail('"channel1" is channel 1')
            _read_analog(cr, v, c.channel1)
        elif key == "computed":
            if not isinstance(v, list):
                f.fail("expected a list of computed channels")
            given = set()
            for ch in v:
                n = _channel_number(f, ch)
                cr = _Reader("channel %d" % n)
                if not 501 <= n < 501 + VMR_COMPUTED_CHANNELS:
                    cr.fail("computed channels are 501 to 520")
                if n in given:
                    cr.fail("given twice")
                given.add(n)
                _read_computed(cr, ch, c.computed[n - 501])
        elif key == "modules":
            if not isinstance(v, list):
                f.fail("expected a list of modules")
            seen = set()
            for mo in v:
                _read_module(f, mo, c, seen)
    return c


def config_from_json(text):
    """A VmrInstConfig from korda's JSON text (str, or UTF-8 bytes). A
    document korda refuses raises ValueError with korda's reason."""
    return config_from_dict(loads(text))
