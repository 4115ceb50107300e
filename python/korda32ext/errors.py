"""The exception raised when a library function reports a failure."""


class KordaError(Exception):
    """A failure reported by the library: `code` is the negative status code,
    `text` the library's text for it, `function` the function that failed."""

    def __init__(self, function, code, text):
        super().__init__("%s: %s (%d)" % (function, text, code))
        self.function = function
        self.code = code
        self.text = text


def error_text(code):
    """The library's text for a status code."""
    import ctypes

    from ._library import lib

    buffer = ctypes.create_string_buffer(512)
    lib().dlxVmrGetErrorStringA(code, buffer, len(buffer))
    return buffer.value.decode("latin-1")


def check(function, status):
    """Returns status when it reports success (1 or a positive count), else
    raises KordaError."""
    if status < 1:
        raise KordaError(function, status, error_text(status))
    return status
