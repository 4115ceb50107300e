"""Python interface to the KORDA32Ext instrument driver library.

    from korda32ext import Instrument
    with Instrument("tcp://127.0.0.1:5025") as inst:
        print(inst.model, inst.oem_identity)
        inst.configure(open("examples/5129A-thermocouples.json").read())
        times, readings = inst.scans()
        print(config_to_dict(inst.read_config()))
"""

from . import trace as _trace_module
from .config import config_from_dict, config_from_json, config_to_dict, config_to_json
from .errors import KordaError, error_text, last_error_detail
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

trace = _trace_module.trace
TRACE_SENT = _trace_module.SENT
TRACE_RECEIVED = _trace_module.RECEIVED
TRACE_EVENT = _trace_module.EVENT

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
    "TRACE_EVENT",
    "TRACE_RECEIVED",
    "TRACE_SENT",
    "config_from_dict",
    "config_from_json",
    "config_to_dict",
    "config_to_json",
    "Scans",
    "VmrInstConfig",
    "error_text",
    "find_usb_instruments",
    "get_timeout",
    "last_error_detail",
    "read_recording",
    "read_recording_config",
    "set_text",
    "set_timeout",
    "text_of",
    "trace",
    "version",
]
