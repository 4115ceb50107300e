// The virtual instrument's dialogue and its fault injection.
#include "TestSupport.h"
#include "comm/SCPIHandler.h"
#include "comm/TCPCommunication.h"

#include <gtest/gtest.h>

using namespace korda::sim;

TEST(VirtualInstrument, DialogueFramingAndErrorQueue) {
    Instrument in(Model::M5129A);
    Session s(in);
    // Several commands in one write, split over several reads.
    std::string out = s.feed("*CL", 3);
    EXPECT_EQ(out, "");
    const std::string rest = "S\r\n*IDN?\r\nFOO:BAR 1\r\nSYST:ERR?\r\nsyst:err?\r\n";
    out = s.feed(rest.data(), rest.size());
    EXPECT_EQ(out, "KORDA-SIM,5129A,SIM00001,1.00\n-113,\"Undefined header\"\n0,\"No error\"\n");

    const std::string crlf = "SYSTem:COMMunicate:TERMinator CRLF\n*OPT?\n";
    EXPECT_EQ(s.feed(crlf.data(), crlf.size()), "MUX22,0,MUX22,0,MUX22,0\r\n");
    in.setModule(1, "");
    const std::string opt = "*RST\n*OPT?\n";
    EXPECT_EQ(s.feed(opt.data(), opt.size()), "MUX22,0,NONE,0,MUX22,0\r\n");

    Instrument small(Model::M7043A);
    Session s2(small);
    const std::string q = "*OPT?\nSYST:COMM:TERM XX\nSYST:ERR?\n";
    EXPECT_EQ(s2.feed(q.data(), q.size()), "MUX22,0,MUX22,0\n-224,\"Illegal parameter value\"\n");
}

TEST(VirtualInstrument, FaultsReachTheLibrary) {
    ASSERT_EQ(dlxVmrLibInit(0), 1);
    dlxVmrTimeoutSet(1);
    Instrument in(Model::M7043A);
    TcpServer server(in);
    auto t = std::make_shared<korda32ex::TCPCommunication>(
        server.port(), std::array<std::uint8_t, 4>{127, 0, 0, 1});
    ASSERT_EQ(t->open(1000), 1);
    korda32ex::SCPIHandler h(t);
    std::string reply;

    Faults f;
    f.garbage = std::string("\0\0", 2) + "junk\n";
    in.setFaults(f);
    std::vector<std::string> lines;
    EXPECT_EQ(h.queryLines({"*IDN?"}, lines), 1);
    EXPECT_EQ(lines.front(), "junk"); // the garbage line arrives first

    f = {};
    f.replyDelayMs = 50;
    in.setFaults(f);
    EXPECT_EQ(h.query("*IDN?", reply), 1);
    EXPECT_EQ(reply, "KORDA-SIM,7043A,SIM00001,1.00");

    f = {};
    f.silent = true;
    in.setFaults(f);
    EXPECT_EQ(h.query("*IDN?", reply), -1015);

    // Cut after 5 bytes: the partial line never completes.
    f = {};
    f.disconnectAfterBytes = 5;
    in.setFaults(f);
    const int st = h.query("*IDN?", reply);
    EXPECT_TRUE(st == -1012 || st == -1015) << st;

    in.setFaults({});
    in.forceError("*IDN?", -350, "Queue overflow");
    EXPECT_EQ(h.sendCommand("*IDN?"), -350);
    EXPECT_EQ(dlxVmrLibExit(), 1);
}
