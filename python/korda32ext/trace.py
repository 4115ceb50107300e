"""The wire trace: every line sent to and received from an instrument, and
the transport's events, handed to a Python function."""

import ctypes
import threading

from ._library import TRACE_CALLBACK, lib
from .errors import check

SENT = 0
RECEIVED = 1
EVENT = 2

_lock = threading.Lock()
_registered = None  # the C callback object, kept alive while registered


def trace(callback):
    """Calls callback(bcn, direction, text) for each line and event of every
    instrument (direction: SENT, RECEIVED or EVENT; text without its line
    end), on the thread that makes the library call. None switches the trace
    off; after that the previous callback is not called again."""
    global _registered
    if callback is None:
        native = TRACE_CALLBACK()
    else:

        def forward(_context, bcn, direction, text, length):
            callback(bcn, direction, ctypes.string_at(text, length).decode("latin-1"))

        native = TRACE_CALLBACK(forward)
    with _lock:
        check("dlxVmrTraceSet", lib().dlxVmrTraceSet(native, None))
        _registered = native if callback is not None else None
