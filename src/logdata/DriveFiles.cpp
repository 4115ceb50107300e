#include "logdata/DriveFiles.h"

#include "platform/platform.h"

#include <cstdio>
#include <memory>

namespace korda32ex::logdata {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

std::size_t lastSeparator(std::wstring_view path) {
    for (std::size_t i = path.size(); i-- > 0;)
        if (isSeparator(path[i])) return i;
    return std::wstring_view::npos;
}

// Turns every CR LF into LF in place, as reading in text mode does.
void foldCrLf(std::string& text) {
    std::size_t out = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') continue;
        text[out++] = text[i];
    }
    text.resize(out);
}

} // namespace

void splitPath(std::wstring_view path, std::wstring& directory, std::wstring& name) {
    const std::size_t sep = lastSeparator(path);
    if (sep == std::wstring_view::npos) {
        directory = L".";
        name.assign(path);
        return;
    }
    directory.assign(path.substr(0, sep));
    name.assign(path.substr(sep + 1));
}

std::wstring siblingPath(std::wstring_view path, std::wstring_view name) {
    if (name.empty()) return std::wstring(path);
    const std::size_t sep = lastSeparator(path);
    std::wstring result =
        sep == std::wstring_view::npos ? std::wstring(L".") : std::wstring(path.substr(0, sep));
    result.append(name);
    return result;
}

std::optional<std::string> readTextFile(const wchar_t* path, const wchar_t* name) {
    if (path == nullptr || *path == L'\0') return std::nullopt;
    const std::wstring full = siblingPath(path, name == nullptr ? L"" : name);
    FilePtr file(platform::openFileWide(full.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::string text;
    // The size is a hint only: a file that grows or shrinks meanwhile is read
    // to its actual end.
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0) text.reserve(static_cast<std::size_t>(size));
        std::fseek(file.get(), 0, SEEK_SET);
    }
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) break;
        text.append(buffer, got);
    }
    if (std::ferror(file.get()) || text.empty()) return std::nullopt;
    foldCrLf(text);
    return text;
}

} // namespace korda32ex::logdata
