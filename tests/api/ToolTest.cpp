// The korda program as a user runs it: mistyped counts and ports are told
// and refused, and no count makes it allocate more than there is to read.
#include "RecordingWriter.h"
#include "TcpServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#if !defined(_WIN32)
#include <sys/wait.h>

using korda::test::TempDir;

namespace {

// Runs korda with the arguments; returns its exit code and what it wrote.
std::pair<int, std::string> runKorda(const TempDir& dir, const std::string& arguments) {
    const auto out = dir.file("out.txt").string();
    const int raw =
        std::system((std::string(KORDA_TOOL) + " " + arguments + " >" + out + " 2>&1").c_str());
    const int code = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return {code, dir.read("out.txt")};
}

} // namespace

TEST(Tool, BadCountsAndPortsAreRefusedWithExitCode2) {
    TempDir dir;
    korda::sim::RecordingOptions o;
    o.scans = 4;
    const auto rec = korda::sim::buildRecording(korda::sim::demoConfiguration(o.model), o);
    ASSERT_TRUE(korda::sim::writeRecording(dir.path().string(), rec));
    const std::string files = "files " + dir.path().string() + " scans ";
    for (const char* bad : {"-5", "0", "4294967295", "99999999999999999999", "x"}) {
        const auto [code, out] = runKorda(dir, files + bad);
        EXPECT_EQ(code, 2) << bad << ": " << out;
        EXPECT_NE(out.find("must be a whole number from 1 to 2147483647"), std::string::npos)
            << out;
    }
    // A huge count reads what the file holds.
    const auto [code, out] = runKorda(dir, files + "2147483647");
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("(4 scans, 0 more held)"), std::string::npos) << out;

    for (const char* bad : {"--port 70561 count", "--port 0 count", "--port 1 fetch 4294967295",
                            "--port 1 fetch -5", "--port 1 fetch", "usb-enum -1"}) {
        const auto [code, out] = runKorda(dir, bad);
        EXPECT_EQ(code, 2) << bad << ": " << out;
    }
}

TEST(Tool, AFetchAsksNoMoreThanTheInstrumentHolds) {
    TempDir dir;
    korda::sim::Instrument instrument(korda::sim::Model::M7043A);
    korda::sim::TcpServer server(instrument);
    const auto [code, out] =
        runKorda(dir, "--port " + std::to_string(server.port()) + " fetch 2147483647");
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("(no scans held)"), std::string::npos) << out;
}
#endif
