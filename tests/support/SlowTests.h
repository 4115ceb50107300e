// The thorough versions of the fault sweeps, soak and thread tests run in the
// slow CI step, which sets KORDA_SLOW_TESTS=1; the normal suite runs short
// versions of the same tests.
#pragma once

#include <cstdlib>
#include <cstring>

namespace korda::test {

inline bool slowTests() {
    const char* text = std::getenv("KORDA_SLOW_TESTS");
    return text != nullptr && *text != '\0' && std::strcmp(text, "0") != 0;
}

// quick in the normal suite, thorough in the slow step.
template <class T> T slowOr(T quick, T thorough) {
    return slowTests() ? thorough : quick;
}

} // namespace korda::test
