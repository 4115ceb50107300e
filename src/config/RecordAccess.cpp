#include "config/RecordAccess.h"

namespace korda32ex {

namespace {
thread_local int tCurrentModelCode = DLXVMR_MODEL_UNIDENTIFIED;
}

const ModelTraits& currentModel() {
    return modelTraits(tCurrentModelCode);
}

ModelCodeScope::ModelCodeScope(int model) : previous_(tCurrentModelCode) {
    tCurrentModelCode = model;
}

ModelCodeScope::~ModelCodeScope() {
    tCurrentModelCode = previous_;
}

} // namespace korda32ex
