// korda reads configuration documents by the rules the Python package keeps
// too: each shared document of tests/golden/json is accepted, or refused with
// the reason its index names, by "korda config set" run as a user runs it
// (against the virtual instrument inside korda).
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#if !defined(_WIN32)
#include <sys/wait.h>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(JsonRules, KordaReadsTheSharedDocumentsAsTheirIndexSays) {
    const std::string golden = std::string(KORDA_SOURCE_DIR) + "/tests/golden/json/";
    const korda::test::TempDir dir;
    std::ifstream index(golden + "index.txt");
    int rules = 0;
    for (std::string line; std::getline(index, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        const std::string name = line.substr(0, tab), expected = line.substr(tab + 1);
        std::string path = golden + name;
        if (const auto star = name.find('*'); star != std::string::npos) { // NAME*N
            const std::string once = readAll(golden + name.substr(0, star));
            const auto times = std::stoul(name.substr(star + 1));
            std::string text;
            text.reserve(once.size() * times);
            for (auto n = times; n > 0; --n)
                text += once;
            dir.write("document.json", text);
            path = dir.file("document.json").string();
        }
        // --force: the reader's rules are at stake here, not what the instrument holds.
        const std::string command = std::string("'") + KORDA_TOOL + "' sim: config set --force '" +
                                    path + "' >/dev/null 2>'" + dir.file("err.txt").string() +
                                    "' </dev/null";
        const int raw = std::system(command.c_str());
        const std::string err = dir.read("err.txt");
        const std::string said = err.substr(0, err.find('\n'));
        if (expected == "accepted") {
            EXPECT_EQ(raw, 0) << name << ": " << err;
        } else {
            EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << name << ": " << err;
            EXPECT_EQ(said, "korda: " + path + ": " + expected) << name;
        }
        ++rules;
    }
    EXPECT_GT(rules, 40);
}

#endif
