// korda's configuration JSON on arbitrary text: a document is read or refused
// (json::Error), never anything worse; what it reads, written and read again,
// is the same: the same text for any document, the same record byte for byte
// for a configuration.
#include "ConfigJson.h"
#include "Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace json = korda::tool::json;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    json::Value document;
    try {
        document = json::parse(text);
    } catch (const json::Error&) {
        return 0;
    }
    const std::string written = json::write(document);
    if (json::write(json::parse(written)) != written) std::abort();

    // On the heap and exactly the record's size, so a write past it is caught.
    auto first = std::make_unique<VmrInstConfig>();
    try {
        korda::tool::configFromJson(document, *first);
    } catch (const json::Error&) {
        return 0;
    }
    auto second = std::make_unique<VmrInstConfig>();
    korda::tool::configFromJson(json::parse(json::write(korda::tool::configToJson(*first))),
                                *second);
    if (std::memcmp(first.get(), second.get(), sizeof(VmrInstConfig)) != 0) std::abort();
    return 0;
}
