#include "config/RecordAccess.h"

namespace korda32ex {

namespace {
thread_local int tCurrentModelCode = 0;
}

int currentModelCode() {
    return tCurrentModelCode;
}

ModelCodeScope::ModelCodeScope(int model) : previous_(tCurrentModelCode) {
    tCurrentModelCode = model;
}

ModelCodeScope::~ModelCodeScope() {
    tCurrentModelCode = previous_;
}

} // namespace korda32ex
