#include "core/Text.h"
#include "logdata/DriveFiles.h"

#include <gtest/gtest.h>

using namespace korda32ex;
using namespace korda32ex::logdata;

namespace {
std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    for (auto l : splitLines(text))
        out.emplace_back(l);
    return out;
}
} // namespace

TEST(TextLines, LineEndsOfEveryKind) {
    using V = std::vector<std::string>;
    EXPECT_EQ(lines("a\r\nb\n\rc\rd\n"), (V{"a", "b", "c", "d"}));
    // Two equal line ends in a row are one break; a third starts an empty line.
    EXPECT_EQ(lines("a\n\nb\n"), (V{"a", "b"}));
    EXPECT_EQ(lines("a\n\n\nb\n"), (V{"a", "", "b"}));
    // Text after the last line end is not a line.
    EXPECT_EQ(lines("a\nlast"), (V{"a"}));
    EXPECT_EQ(lines("\n"), (V{""}));
}

TEST(TextLines, SiblingPathsCutBeforeTheLastSeparator) {
    EXPECT_EQ(siblingPath(L"/usb/run1/dat00001.csv", L"\\setup.csv"), L"/usb/run1\\setup.csv");
    EXPECT_EQ(siblingPath(L"D:\\usb\\run1\\", L"\\setup.csv"), L"D:\\usb\\run1\\setup.csv");
    EXPECT_EQ(siblingPath(L"run1", L"\\setup.csv"), L".\\setup.csv");
}
