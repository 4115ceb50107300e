#include "core/Models.h"

namespace korda32ex {

const ModelTraits& modelTraits(int code) {
    for (const auto& row : kModelTable)
        if (row.code == code) return row;
    return kUnidentifiedModel;
}

const ModelTraits& modelNamedIn(std::string_view text, bool byNumber) {
    const ModelTraits* found = &kUnidentifiedModel;
    for (const auto& row : kModelTable)
        if (text.find(byNumber ? row.number : row.name) != std::string_view::npos) found = &row;
    return *found;
}

} // namespace korda32ex
