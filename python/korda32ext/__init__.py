"""Python interface to the KORDA32Ext instrument driver library.

    from korda32ext import Instrument
    with Instrument("tcp://127.0.0.1:5025") as inst:
        print(inst.model, inst.oem_identity)
        times, readings = inst.scans()
"""

from .errors import KordaError, error_text
from .instrument import (
    MODELS,
    Instrument,
    Scans,
    find_usb_instruments,
    get_timeout,
    read_recording,
    read_recording_config,
    set_timeout,
    version,
)
from .records import (
    ChannelRecord,
    ComputedChannelRecord,
    ModuleArea,
    ScanEntry,
    ScanRecord,
    VmrInstConfig,
    text_of,
    set_text,
)

__version__ = "1.0.0"

__all__ = [
    "ChannelRecord",
    "ComputedChannelRecord",
    "Instrument",
    "KordaError",
    "MODELS",
    "ModuleArea",
    "ScanEntry",
    "ScanRecord",
    "Scans",
    "VmrInstConfig",
    "error_text",
    "find_usb_instruments",
    "get_timeout",
    "read_recording",
    "read_recording_config",
    "set_text",
    "set_timeout",
    "text_of",
    "version",
]
