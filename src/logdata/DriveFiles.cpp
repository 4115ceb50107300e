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

std::string pathText(std::wstring_view path) {
    std::string text = platform::wideToNarrow(std::wstring(path).c_str());
    // Written with one separator: the system's own, or "/" where the
    // caller's path holds one.
    if (platform::kPathSeparator == '/' || text.find('/') != std::string::npos)
        for (char& c : text)
            if (c == '\\') c = '/';
    return text;
}

std::optional<std::string> readTextFile(const wchar_t* path, const wchar_t* name,
                                        std::string* failure) {
    if (path == nullptr || *path == L'\0') {
        if (failure) *failure = "no path given";
        return std::nullopt;
    }
    const std::wstring full = siblingPath(path, name == nullptr ? L"" : name);
    FilePtr file(platform::openFileWide(full.c_str(), "rb"));
    if (!file) {
        if (failure)
            *failure = "open " + pathText(full) + ": " +
                       platform::systemErrorText(platform::lastSystemError());
        return std::nullopt;
    }
    std::string text;
    // The size read first is a hint only: a file that grows or shrinks
    // meanwhile is read to its actual end.
    std::size_t filled = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0) text.resize(static_cast<std::size_t>(size));
        std::fseek(file.get(), 0, SEEK_SET);
    }
    for (;;) {
        if (filled == text.size()) text.resize(filled + (1 << 16));
        const std::size_t got =
            std::fread(text.data() + filled, 1, text.size() - filled, file.get());
        if (got == 0) break;
        filled += got;
    }
    text.resize(filled);
    if (std::ferror(file.get())) {
        if (failure)
            *failure = "read " + pathText(full) + ": " +
                       platform::systemErrorText(platform::lastSystemError());
        return std::nullopt;
    }
    if (text.empty()) {
        if (failure) *failure = pathText(full) + ": the file is empty";
        return std::nullopt;
    }
    return text;
}

} // namespace korda32ex::logdata
