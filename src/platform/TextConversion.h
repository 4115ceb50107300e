// Text conversion shared by both backends (standard C library only).
#pragma once

#include <cstddef>

namespace korda32ex::platform {

// Converts narrow text to wide text character by character in the current
// locale; a byte that is not a character of the locale keeps its value.
// Writes at most capacity-1 characters and a terminator (capacity >= 1).
// Returns the number of characters written.
std::size_t narrowToWideByCharacter(const char* text, wchar_t* out, std::size_t capacity);

} // namespace korda32ex::platform
