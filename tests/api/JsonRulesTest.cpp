// korda reads configuration documents by the rules the Python package keeps
// too: each shared document of tests/golden/json is accepted, or refused with
// the reason its index names, by "korda config set" run as a user runs it
// (against the virtual instrument inside korda).
#include "KordaRun.h"

#include <gtest/gtest.h>

#include <string>

#if !defined(_WIN32)

TEST(JsonRules, KordaReadsTheSharedDocumentsAsTheirIndexSays) {
    const std::string golden = std::string(KORDA_SOURCE_DIR) + "/tests/golden/json/";
    const korda::test::TempDir dir;
    int rules = 0;
    for (const auto& row : korda::test::goldenRows("json/index.txt")) {
        const std::string &name = row.at(0), &expected = row.at(1);
        std::string path = golden + name;
        if (const auto star = name.find('*'); star != std::string::npos) { // NAME*N
            const std::string once = dir.read(golden + name.substr(0, star));
            std::string text;
            for (auto n = std::stoul(name.substr(star + 1)); n > 0; --n)
                text += once;
            dir.write("document.json", text);
            path = dir.file("document.json").string();
        }
        // --force: the reader's rules are at stake here, not what the instrument holds.
        const auto r = korda::test::runKorda(dir, "sim: config set --force '" + path + "'");
        EXPECT_EQ(r.code, expected == "accepted" ? 0 : 2) << name << ": " << r.err;
        if (expected != "accepted") {
            EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "korda: " + path + ": " + expected)
                << name;
        }
        ++rules;
    }
    EXPECT_GT(rules, 40);
}

#endif
