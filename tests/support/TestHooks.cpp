// The library's test hooks for every test program and for the korda runs
// they start: a configuration's settle pause of a few milliseconds instead of
// a second, a drain's look of 1 ms instead of 10. Set before main, so that
// every library start and every drain sees them; a value already in the
// environment stays. (The benchmarks do not link this file: they measure the
// library as it ships.)
#include <cstdlib>

namespace {

void setUnlessGiven(const char* name, const char* value) {
    if (std::getenv(name) != nullptr) return;
#ifdef _WIN32
    _putenv_s(name, value);
#else
    ::setenv(name, value, 0);
#endif
}

[[maybe_unused]] const bool hooksSet = [] {
    setUnlessGiven("KORDA_TEST_SETTLE_MS", "5");
    setUnlessGiven("KORDA_TEST_DRAIN_LOOK_MS", "1");
    return true;
}();

} // namespace
