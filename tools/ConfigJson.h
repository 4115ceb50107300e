// The configuration record as readable JSON: every field of VmrInstConfig by
// its name, codes by the names the instrument uses ("TEMP_TC", "AUTO", "K"),
// and only the channels that hold something. A record written and read back
// is the same record, byte for byte, except text after a name's terminator.
#pragma once

#include "Json.h"
#include "korda32ext.h"

#include <string>

namespace korda::tool {

json::Value configToJson(const VmrInstConfig& config);

// A text field of the record as UTF-8, up to its terminator (or its 256
// units); a surrogate that is not part of a pair keeps its own code.
std::string textToUtf8(const VmrChar16* text);

// Fills config (cleared first) from a document that configToJson wrote or a
// person edited. A field that is absent stays zero; an unknown field, a
// wrong kind of value or an out-of-range number throws json::Error naming
// where ("channel 101: range: ...").
void configFromJson(const json::Value& document, VmrInstConfig& config);

// A complete, valid record of typical channels for a model code
// (DLXVMR_MODEL_7043A or DLXVMR_MODEL_5129A): thermocouples, a voltage, a
// resistance and a computed mean, scanned every second until stopped.
void exampleConfig(int model, VmrInstConfig& config);

} // namespace korda::tool
