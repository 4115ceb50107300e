// The virtual instrument's models, one row each. What sets a model apart
// (its name, module slots, AC functions, coefficient sensors, integration
// time, reference channels, setup-file columns) is the library's row of it
// (core/Models.h); the instrument adds only its own enumerator of the model.
// Code asks its model's row, never compares models.
#pragma once

#include "core/Models.h"

#include <string>
#include <string_view>

namespace korda::sim {

enum class Model { M7043A, M5129A };

// The model of a virtual instrument when none is named: a 5129A, whose three
// slots take the configurations of both models.
inline constexpr Model kDefaultModel = Model::M5129A;

struct ModelRow {
    Model model;
    int code; // DLXVMR_MODEL_*: the model's row in the library's table
};

inline constexpr ModelRow kModelRows[] = {
    {Model::M7043A, DLXVMR_MODEL_7043A},
    {Model::M5129A, DLXVMR_MODEL_5129A},
};

// What the model has.
const korda32ex::ModelTraits& traitsOf(Model model);
// The model whose name is exactly name ("7043A"); false for any other text.
bool modelNamed(std::string_view name, Model& model);
// The names of the models joined by separator: "7043A|5129A".
std::string modelNames(std::string_view separator);

} // namespace korda::sim
