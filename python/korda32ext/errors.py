"""The exception raised when a library function reports a failure."""


class KordaError(Exception):
    """A failure reported by the library: `code` is the negative status code,
    `text` the library's text for it, `function` the function that failed,
    `detail` what the library says about this failure (the device or address
    and the system's reason, e.g. "connect 127.0.0.1:5025: Connection
    refused"), or the text when it has nothing more to say."""

    def __init__(self, function, code, text, detail=None):
        detail = detail or text
        message = "%s: %s (%d)" % (function, text, code)
        if detail != text:
            message += ": " + detail
        super().__init__(message)
        self.function = function
        self.code = code
        self.text = text
        self.detail = detail


def error_text(code):
    """The library's text for a status code."""
    import ctypes

    from ._library import lib

    buffer = ctypes.create_string_buffer(512)
    lib().dlxVmrGetErrorStringA(code, buffer, len(buffer))
    return buffer.value.decode("latin-1")


def last_error_detail():
    """The detail of the last failed library call on the calling thread."""
    import ctypes

    from ._library import lib

    buffer = ctypes.create_string_buffer(1024)
    lib().dlxVmrGetLastErrorDetailA(buffer, len(buffer))
    return buffer.value.decode("latin-1")


def check(function, status):
    """Returns status when it reports success (1 or a positive count), else
    raises KordaError."""
    if status < 1:
        detail = last_error_detail() if status < 0 else None
        raise KordaError(function, status, error_text(status), detail)
    return status
