"""The records of the C interface as ctypes structures, with the layout of
include/korda32ext.h (4-byte packing; text fields of 16-bit code units)."""

import ctypes

VMR_TEXT_UNITS = 256
VMR_MODULE_AREAS = 6
VMR_CHANNELS_PER_AREA = 22
VMR_COMPUTED_CHANNELS = 20
VMR_MODULE_ABSENT = 0xFFFFFFFF
VMR_CHANNEL_OFF = 0xFFFFFFFF

SCAN_RECORD_HEADER_SIZE = 12
SCAN_ENTRY_HEADER_SIZE = 52
MAX_READINGS_PER_SCAN = 153

_u8 = ctypes.c_uint8
_u32 = ctypes.c_uint32
_i32 = ctypes.c_int32
_f64 = ctypes.c_double
_char16 = ctypes.c_uint16


def text_of(units):
    """The text of a zero-terminated field of 16-bit code units."""
    text = bytes(units).decode("utf-16-le", errors="replace")
    end = text.find("\0")
    return text if end < 0 else text[:end]


def set_text(units, text):
    """Stores text into a field of 16-bit code units, truncated so that the
    terminator fits."""
    data = text.encode("utf-16-le", errors="surrogatepass")[: 2 * (len(units) - 1)]
    ctypes.memset(units, 0, ctypes.sizeof(units))
    ctypes.memmove(units, data, len(data))


class ChannelRecord(ctypes.Structure):
    _pack_ = 4
    _fields_ = [
        ("function", _u32),
        ("range", _u32),
        ("shuntOhms", _f64),
        ("alarmFlags", _u32),
        ("reserved20", _u8 * 4),
        ("alarm1Limit", _f64),
        ("alarm2Limit", _f64),
        ("alarm1Output", _u32),
        ("alarm2Output", _u32),
        ("scaleM", _f64),
        ("scaleB", _f64),
        ("sensorCoef", _f64 * 7),
        ("name", _char16 * VMR_TEXT_UNITS),
        ("unit", _char16 * VMR_TEXT_UNITS),
        ("nplc", _f64),
        ("delay", _f64),
        ("openDetect", _u32),
        ("refJunction", _u32),
    ]


class ComputedChannelRecord(ctypes.Structure):
    _pack_ = 4
    _fields_ = [
        ("function", _u32),
        ("sourceA", _u32),
        ("sourceB", _u32),
        ("sourceList", _u32 * 5),
        ("reserved32", _u8 * 4),
        ("alarmFlags", _u32),
        ("alarm1Limit", _f64),
        ("alarm2Limit", _f64),
        ("alarm1Output", _u32),
        ("alarm2Output", _u32),
        ("scaleM", _f64),
        ("scaleB", _f64),
        ("name", _char16 * VMR_TEXT_UNITS),
        ("unit", _char16 * VMR_TEXT_UNITS),
        ("coefficients", _f64 * 7),
        ("reserved1160", _u8 * 4),
        ("listHasChannel1", _u32),
    ]


class ModuleArea(ctypes.Structure):
    _pack_ = 4
    _fields_ = [
        ("moduleState", _u32),
        ("reserved4", _u8 * 4),
        ("channels", ChannelRecord * VMR_CHANNELS_PER_AREA),
    ]


class VmrInstConfig(ctypes.Structure):
    _pack_ = 4
    _fields_ = [
        ("flags", _u32),
        ("intervalHours", _u32),
        ("intervalMinutes", _u32),
        ("intervalSeconds", _u32),
        ("reserved16", _u32 * 9),
        ("triggerCount", _u32),
        ("recordDestination", _u32),
        ("alarmTriggerChannel", _u32),
        ("autoTriggerOrder", _u32),
        ("autoReferenceChannel", _u32),
        ("autoSecondReferenceChannel", _u32),
        ("triggerSource", _u32),
        ("totalizerDebounce", _u32),
        ("totalizerCount", _u32),
        ("totalizerType", _u32),
        ("totalizerState", _u32),
        ("channel1", ChannelRecord),
        ("computed", ComputedChannelRecord * VMR_COMPUTED_CHANNELS),
        ("modules", ModuleArea * VMR_MODULE_AREAS),
    ]


class ScanEntry(ctypes.Structure):
    """The 52-byte header of one scan; its readings follow it."""

    _pack_ = 4
    _fields_ = [
        ("reserved0", _u8 * 8),
        ("hour", _u8),
        ("minute", _u8),
        ("second", _u8),
        ("month", _u8),
        ("reserved12", _u8),
        ("day", _u8),
        ("year", _u8),
        ("reserved15", _u8),
        ("fraction", _i32),
        ("reserved20", _u8 * 32),
        ("readings", ctypes.c_float * 1),
    ]


class ScanRecord(ctypes.Structure):
    """The 12-byte header of a scan buffer; the packed entries follow it."""

    _pack_ = 4
    _fields_ = [
        ("entrySize", _i32),
        ("scanCount", _i32),
        ("scansRemaining", _i32),
        ("entries", _u8 * 4),
    ]


def scan_buffer_size(scans, readings=MAX_READINGS_PER_SCAN):
    """Bytes a scan buffer needs for `scans` scans of `readings` readings."""
    return SCAN_RECORD_HEADER_SIZE + scans * (SCAN_ENTRY_HEADER_SIZE + 4 * readings)


RECORDS = (ChannelRecord, ComputedChannelRecord, ModuleArea, VmrInstConfig, ScanEntry, ScanRecord)
