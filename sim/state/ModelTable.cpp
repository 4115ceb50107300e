#include "ModelTable.h"

namespace korda::sim {

const korda32ex::ModelTraits& traitsOf(Model model) {
    for (const auto& row : kModelRows)
        if (row.model == model) return korda32ex::modelTraits(row.code);
    return korda32ex::kUnidentifiedModel;
}

bool modelNamed(std::string_view name, Model& model) {
    for (const auto& row : kModelRows) {
        if (korda32ex::modelTraits(row.code).name != name) continue;
        model = row.model;
        return true;
    }
    return false;
}

std::string modelNames(std::string_view separator) {
    std::string out;
    for (const auto& row : kModelRows) {
        if (!out.empty()) out += separator;
        out += korda32ex::modelTraits(row.code).name;
    }
    return out;
}

} // namespace korda::sim
