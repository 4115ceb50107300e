// Files of a recording directory on a USB drive copied to the PC: path
// handling and whole-file reading. Paths are wide texts; both "/" and "\\"
// separate their components on every system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korda32ex::logdata {

inline constexpr const wchar_t* kSetupFileName = L"\\setup.csv";
inline constexpr const wchar_t* kFirstDataFileName = L"\\dat00001.csv";

// Splits a path at its last "/" or "\\" into the directory (without the
// separator) and the final name. A path without a separator names something
// in the current directory: the directory is then ".".
void splitPath(std::wstring_view path, std::wstring& directory, std::wstring& name);

// The file `name` (which begins with "\\") in the directory of `path`: the
// path is cut before its last separator, so a directory is given with a
// trailing separator or as the path of any file inside it. An empty name
// leaves the path as it is.
std::wstring siblingPath(std::wstring_view path, std::wstring_view name);

// Reads a whole file as narrow text, byte for byte: line ends stay as they
// are in the file (every reader of these texts takes CR LF as one line end,
// exactly as the LF that text mode would make of it). No text (nullopt) when
// the path is empty or null, the file does not open, or it is empty; then
// failure (when given) receives why, with the path and the system's reason
// ("open /media/usb/run1/setup.csv: No such file or directory").
std::optional<std::string> readTextFile(const wchar_t* path, const wchar_t* name,
                                        std::string* failure = nullptr);

// A path as a user reads it in a message: narrow text with one separator
// (the library joins names with "\\"): "/" on systems other than Windows,
// and on Windows where the path holds any "/".
std::string pathText(std::wstring_view path);

} // namespace korda32ex::logdata
