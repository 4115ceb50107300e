#include "ScpiErrors.h"

namespace korda::sim::scpi_error {

const char* text(int code) {
    switch (code) {
    case kNoError:
        return "No error";
    case kSyntaxError:
        return "Syntax error";
    case kDataType:
        return "Data type error";
    case kParameterNotAllowed:
        return "Parameter not allowed";
    case kMissingParameter:
        return "Missing parameter";
    case kUndefinedHeader:
        return "Undefined header";
    case kInitIgnored:
        return "Init ignored";
    case kSettingsConflict:
        return "Settings conflict";
    case kDataOutOfRange:
        return "Data out of range";
    case kTooMuchData:
        return "Too much data";
    case kIllegalValue:
        return "Illegal parameter value";
    case kOutOfMemory:
        return "Out of memory";
    case kFileNameNotFound:
        return "File name not found";
    case kQueueOverflow:
        return "Queue overflow";
    case kInputBufferOverrun:
        return "Input buffer overrun";
    default:
        return "Execution error";
    }
}

} // namespace korda::sim::scpi_error
