// The setup-file parser on arbitrary text: it fills a configuration record in
// place and must never write outside it or read past the text.
#include "logdata/SetupFileParser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // On the heap and exactly the record's size, so a write past it is caught.
    auto record = std::make_unique<VmrInstConfig>();
    korda32ex::logdata::parseSetupText(text, *record);
    korda32ex::logdata::normalizeModel(text);
    return 0;
}
