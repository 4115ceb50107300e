// Exported calls against a scripted instrument, byte for byte: the cases of
// golden/wire-*.txt. Each case opens BCN 1 (the open's own dialogue is played
// first) and makes the calls of its "@ " lines in turn; the instrument must
// receive exactly the "> " lines and answers with the "< " lines, and each
// call's result is the next "= " line. The library runs with a short time
// limit, so a query left unanswered costs a quarter of a second.
#include "ScanBuffer.h"
#include "TestSupport.h"
#include "Transcript.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

using namespace korda::test;

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A fetch's result: the status, then "untouched" or the record as text.
std::string scans(int status, ScanBuffer& b, const std::vector<std::uint32_t>& before) {
    return std::to_string(status) + " " + (b.words == before ? "untouched" : b.text());
}

// Makes the call of a step ("Name arg ..."; a quoted argument may hold
// escapes) and gives its result as text.
std::string call(const std::string& step) {
    std::istringstream in(step);
    std::string name, word;
    in >> name;
    std::vector<std::string> args;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            std::getline(in.ignore(), word, '"');
            while (!word.empty() && word.back() == '\\') { // an escaped mark
                std::string more;
                std::getline(in, more, '"');
                word += "\"" + more;
            }
            args.push_back(unescape(word));
        } else {
            in >> word;
            args.push_back(word);
        }
    }
    const auto n = [&](std::size_t i) {
        return static_cast<int>(std::stol(args.at(i), nullptr, 0));
    };
    // A wide text from UTF-8 (characters up to U+07FF).
    const auto wide = [&](std::size_t i) {
        std::wstring out;
        const std::string& a = args.at(i);
        for (std::size_t k = 0; k < a.size(); ++k) {
            const auto b = static_cast<unsigned char>(a[k]);
            out += b >= 0xC0 && k + 1 < a.size()
                       ? static_cast<wchar_t>(((b & 0x1F) << 6) | (a[++k] & 0x3F))
                       : static_cast<wchar_t>(b);
        }
        return out;
    };
    // A status and the value the call left (the call runs first).
    int v = -1;
    const auto with = [](int status, const std::string& value) {
        return std::to_string(status) + " " + value;
    };
    const auto withV = [&](int status) { return with(status, std::to_string(v)); };
    if (name == "ScansEnable") return std::to_string(dlxVmrScansEnable(1, n(0)));
    if (name == "ScansClear") return std::to_string(dlxVmrScansClear(1));
    if (name == "PCCardScansClear") return std::to_string(dlxVmrPCCardScansClear(1));
    if (name == "GetScansCount") return withV(dlxVmrGetScansCount(1, &v));
    if (name == "ScansCount") return withV(dlxVmrScansCount(1, &v));
    if (name == "ScansGet" || name == "ScansFileGet") {
        const int wanted = n(name == "ScansGet" ? 0 : 1);
        ScanBuffer b(static_cast<std::size_t>(std::max(wanted, 1)), 153, 0xA5A5A5A5u);
        const auto before = b.words;
        const int st = name == "ScansGet"
                           ? dlxVmrScansGet(1, wanted, b.record())
                           : dlxVmrScansFileGet(1, wide(0).c_str(), wanted, n(2), b.record());
        return scans(st, b, before);
    }
    if (name == "SpyGet") {
        float r = -1;
        const int st = dlxVmrSpyGet(n(0), &r);
        return with(st, number(r));
    }
    if (name == "InstMonitor") return std::to_string(dlxVmrInstMonitor(1, n(0), n(1)));
    if (name == "DIOGet") return withV(dlxVmrDIOGet(1, &v));
    if (name == "DIOSet") return std::to_string(dlxVmrDIOSet(1, n(0), n(1)));
    if (name == "TotalizerGet") return withV(dlxVmrTotalizerGet(1, &v));
    if (name == "OEMIdentitySetA")
        return std::to_string(dlxVmrOEMIdentitySetA(1, args.at(0).c_str()));
    if (name == "OEMIdentitySetW") return std::to_string(dlxVmrOEMIdentitySetW(1, wide(0).c_str()));
    if (name == "OEMIdentityGetA") {
        char text[64] = "unchanged";
        const int st = dlxVmrOEMIdentityGetA(1, text, static_cast<uint32_t>(n(0)));
        return with(st, text);
    }
    if (name == "PCCardStatus") {
        int32_t s[3] = {-1, -1, -1};
        const int st = dlxVmrPCCardStatus(1, s);
        return with(st,
                    std::to_string(s[0]) + " " + std::to_string(s[1]) + " " + std::to_string(s[2]));
    }
    if (name == "PCCardFormat") return std::to_string(dlxVmrPCCardFormat(1));
    if (name == "GetPCCardScansFileList") {
        char* names = nullptr;
        const int st = dlxVmrGetPCCardScansFileList(1, &names, &v);
        const std::string list = names != nullptr ? names : "(none)";
        dlxVmrDeleteBuffer(names);
        return with(st, std::to_string(v) + " " + list);
    }
    if (name == "PCCardScansCount") return withV(dlxVmrPCCardScansCount(1, &v, n(0)));
    if (name == "PCCardScansCountFile")
        return withV(dlxVmrPCCardScansCountFile(1, wide(0).c_str(), &v));
    if (name == "PCCardConfigGet" || name == "ConfigGet") {
        auto r = std::make_unique<VmrInstConfig>();
        std::memset(r.get(), name == "ConfigGet" ? 0xAB : 0, sizeof *r);
        if (!args.empty() && args[0] == "null") return std::to_string(dlxVmrConfigGet(1, nullptr));
        const int st = name == "ConfigGet" ? dlxVmrConfigGet(1, r.get())
                                           : dlxVmrPCCardConfigGet(1, r.get(), 0, wide(0).c_str());
        const auto* p = reinterpret_cast<const unsigned char*>(r.get());
        const bool zero = std::all_of(p, p + sizeof *r, [](unsigned char c) { return c == 0; });
        char flags[64];
        std::snprintf(flags, sizeof flags, "flags 0x%X alarm channel %u", r->flags,
                      r->alarmTriggerChannel);
        return with(st, zero ? "zeroed" : flags);
    }
    if (name == "GetInstalledModules") return std::to_string(dlxVmrGetInstalledModules(1));
    if (name == "ModelCheck") return std::to_string(dlxVmrModelCheck(1));
    if (name == "TimeoutSet") return std::to_string(dlxVmrTimeoutSet(static_cast<uint32_t>(n(0))));
    if (name == "ErrorString") return errorString(n(0));
    if (name == "Detail") {
        char text[512] = {};
        dlxVmrGetLastErrorDetailA(text, sizeof text);
        return text;
    }
    ADD_FAILURE() << "no call " << name;
    return "";
}

void play(const std::string& file) {
    for (const TranscriptCase& c : readTranscript(file)) {
        SCOPED_TRACE(c.where + ": " + c.name);
        {
            ShortTimeLimit shortLimit;
            ASSERT_EQ(dlxVmrLibInit(0), 1);
        }
        std::vector<TranscriptLine> script{{'>', "*CLS"},
                                           {'>', "SYST:COMM:TERM CRLF"},
                                           {'>', "SYST:ERR?"},
                                           {'<', "0,\"No error\""}};
        script.insert(script.end(), c.lines.begin(), c.lines.end());
        ReplayPeer peer(script);
        EXPECT_EQ(openLoopback(1, peer.port()), 1);
        // "@ Writes": the lines of each write since the open or the last such step.
        std::size_t seen = peer.messages().size();
        std::vector<std::string> results;
        for (const auto& line : c.lines) {
            if (line.kind != '@') continue;
            if (line.text != "Writes") {
                results.push_back(call(line.text));
                continue;
            }
            const auto messages = peer.messages();
            std::string counts;
            for (; seen < messages.size(); ++seen)
                counts +=
                    (counts.empty() ? "" : " ") + std::to_string(lines(messages[seen]).size());
            results.push_back(counts);
        }
        EXPECT_EQ(results, c.all('='));
        EXPECT_EQ(peer.outcome(), "");
        dlxVmrCommClose(1);
        dlxVmrLibExit();
    }
}

} // namespace

TEST(WireTranscripts, Scanning) {
    play("wire-scanning.txt");
}

TEST(WireTranscripts, Monitoring) {
    play("wire-monitoring.txt");
}

TEST(WireTranscripts, LogMemory) {
    play("wire-log-memory.txt");
}

TEST(WireTranscripts, DirectOperations) {
    play("wire-direct.txt");
}

TEST(WireTranscripts, Configuration) {
    play("wire-configuration.txt");
}
