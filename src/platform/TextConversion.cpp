#include "platform/TextConversion.h"

#include <cstring>
#include <cwchar>

namespace korda32ex::platform {

std::size_t narrowToWideByCharacter(const char* text, wchar_t* out, std::size_t capacity) {
    std::size_t n = 0;
    std::mbstate_t st{};
    const char* p = text;
    const char* end = text + std::strlen(text);
    while (p < end && n + 1 < capacity) {
        wchar_t wc = 0;
        const std::size_t r = std::mbrtowc(&wc, p, static_cast<std::size_t>(end - p), &st);
        if (r == static_cast<std::size_t>(-1) || r == static_cast<std::size_t>(-2)) {
            wc = static_cast<wchar_t>(static_cast<unsigned char>(*p));
            st = std::mbstate_t{};
            ++p;
        } else {
            p += r == 0 ? 1 : r;
        }
        out[n++] = wc;
    }
    out[n] = L'\0';
    return n;
}

} // namespace korda32ex::platform
