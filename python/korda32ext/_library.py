"""Finding and loading the KORDA32Ext shared library, and the C prototypes."""

import ctypes
import ctypes.util
import os
import sys
from pathlib import Path

from .records import ScanRecord, VmrInstConfig

if sys.platform == "win32":
    _NAMES = ["KORDA32Ext.dll"]
elif sys.platform == "darwin":
    _NAMES = ["libKORDA32Ext.1.dylib", "libKORDA32Ext.dylib"]
else:
    _NAMES = ["libKORDA32Ext.so.1", "libKORDA32Ext.so"]


# 32-bit Windows builds use the __stdcall convention.
if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4:
    _LOADER = ctypes.WinDLL
    _CALLBACK = ctypes.WINFUNCTYPE
else:
    _LOADER = ctypes.CDLL
    _CALLBACK = ctypes.CFUNCTYPE


def candidates():
    """The places tried, in order: the environment variable, the package's own
    directory, build directories of the source tree, then the system."""
    env = os.environ.get("KORDA32EXT_LIBRARY")
    if env:
        yield env
        return
    here = Path(__file__).resolve().parent
    for name in _NAMES:
        yield str(here / name)
    tree = here.parent.parent
    for build in sorted(tree.glob("build*")):
        for name in _NAMES:
            yield str(build / name)
    for name in _NAMES:
        yield name  # the system loader's search path
    found = ctypes.util.find_library("KORDA32Ext")
    if found:
        yield found


def _load():
    errors = []
    for path in candidates():
        if os.sep in path or (os.altsep and os.altsep in path):
            if not os.path.exists(path):
                continue
        try:
            return _LOADER(path)
        except OSError as e:
            errors.append("%s: %s" % (path, e))
    raise OSError(
        "KORDA32Ext library not found; set KORDA32EXT_LIBRARY to its path"
        + ("".join("\n  " + e for e in errors))
    )


_i = ctypes.c_int
_u32 = ctypes.c_uint32
_pi = ctypes.POINTER(ctypes.c_int)

# void callback(void* context, int bcn, int direction, const char* text, uint32_t length)
TRACE_CALLBACK = _CALLBACK(None, ctypes.c_void_p, _i, _i, ctypes.POINTER(ctypes.c_char), _u32)

# name: (result, argument types)
_PROTOTYPES = {
    "dlxVmrLibInit": (_i, [_u32]),
    "dlxVmrLibExit": (_i, []),
    "dlxVmrGetErrorStringA": (None, [_i, ctypes.c_char_p, _u32]),
    "dlxVmrGetVersion": (_i, [_pi, _pi, _pi, ctypes.c_char_p, _u32]),
    "dlxVmrGetLastErrorDetailA": (_i, [ctypes.c_char_p, _u32]),
    "dlxVmrTraceSet": (_i, [TRACE_CALLBACK, ctypes.c_void_p]),
    "dlxVmrCCFsetBCN": (_i, [_i, _i, _i, ctypes.POINTER(ctypes.c_uint8), _i]),
    "dlxVmrCommOpen": (_i, [_i]),
    "dlxVmrCommClose": (_i, [_i]),
    "dlxVmrModelCheck": (_i, [_i]),
    "dlxVmrTimeoutGet": (_i, [ctypes.POINTER(_u32)]),
    "dlxVmrTimeoutSet": (_i, [_u32]),
    "dlxVmrUsbEnum": (_i, [_pi, _pi, _i]),
    "dlxVmrTimeSet": (_i, [_i]),
    "dlxVmrTimeSetUTC": (_i, [_i]),
    "dlxVmrDIOGet": (_i, [_i, _pi]),
    "dlxVmrDIOSet": (_i, [_i, _i, _i]),
    "dlxVmrTotalizerGet": (_i, [_i, _pi]),
    "dlxVmrTotalizerClear": (_i, [_i]),
    "dlxVmrOEMIdentitySetA": (_i, [_i, ctypes.c_char_p]),
    "dlxVmrOEMIdentityGetA": (_i, [_i, ctypes.c_char_p, _u32]),
    "dlxVmrScansEnable": (_i, [_i, _i]),
    "dlxVmrScansClear": (_i, [_i]),
    "dlxVmrScansCount": (_i, [_i, _pi]),
    "dlxVmrScansGet": (_i, [_i, _u32, ctypes.POINTER(ScanRecord)]),
    "dlxVmrInstMonitor": (_i, [_i, _i, ctypes.c_uint]),
    "dlxVmrSpyGet": (_i, [_i, ctypes.POINTER(ctypes.c_float)]),
    "dlxVmrConfigSet": (_i, [_i, ctypes.POINTER(VmrInstConfig), _i, _pi]),
    "dlxVmrConfigGet": (_i, [_i, ctypes.POINTER(VmrInstConfig)]),
    "dlxVmrPCCardConfigFile": (
        _i,
        [_i, ctypes.c_wchar_p, ctypes.POINTER(VmrInstConfig), _i, _i],
    ),
    "dlxVmrPCCardScansFileGet": (
        _i,
        [_i, ctypes.c_wchar_p, _i, _i, ctypes.POINTER(ScanRecord)],
    ),
    "dlxVmrPCCardScansFileCountW": (_i, [_i, ctypes.c_wchar_p, _pi]),
}

_lib = None


def lib():
    """The loaded library, with the prototypes of its functions declared."""
    global _lib
    if _lib is None:
        loaded = _load()
        for name, (result, args) in _PROTOTYPES.items():
            f = getattr(loaded, name)
            f.restype = result
            f.argtypes = args
        _lib = loaded
    return _lib
