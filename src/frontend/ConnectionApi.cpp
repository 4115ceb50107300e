// Connection management: BCN settings, open, close, model check, timeout.
#include "comm/TCPCommunication.h"
#include "comm/USBCommunication.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"

#include <limits>

using namespace korda32ex;

namespace {

const std::string kTerminatorCommand = "SYST:COMM:TERM CRLF";
constexpr int kHighestTcpPort = 65535;

// The transport for a BCN's settings: TCP/IP, or the USB virtual COM port
// (a COM number below 1 searches COM1 to COM64).
std::shared_ptr<CommunicationInterface> makeTransport(int bcn, const BcnSettings& s) {
    if (s.interfaceKind != kInterfaceUsb)
        return std::make_shared<TCPCommunication>(s.port, s.ipAddress, diagnosticsFor(bcn));
    return std::make_shared<USBCommunication>(s.port, diagnosticsFor(bcn));
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrCCFsetBCN(int bcn, int kind, int port, const uint8_t* ipAddress,
                                         int model) {
    return withLibrary([&](GlobalData& g) {
        // A TCP/IP instrument needs its address, and a port that fits a TCP
        // port number: nothing is stored otherwise.
        if (kind == kInterfaceTcpIp && ipAddress == nullptr) return status::kInvalidParameter;
        if (kind != kInterfaceUsb && (port < 1 || port > kHighestTcpPort))
            return status::kInvalidParameter;
        BcnSettings s;
        s.model = model;
        s.port = port;
        if (kind == kInterfaceUsb) {
            s.interfaceKind = kInterfaceUsb;
        } else {
            // Any other kind is stored as TCP/IP.
            s.interfaceKind = kind;
            if (ipAddress != nullptr) std::copy(ipAddress, ipAddress + 4, s.ipAddress.begin());
        }
        g.setSettings(bcn, s);
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrCommOpen(int bcn) {
    return withLibrary([&](GlobalData& g) -> int {
        const BcnSettings settings = g.settingsFor(bcn);
        if (g.findInstrument(bcn)) return status::kAlreadyOpen;
        auto transport = makeTransport(bcn, settings);
        const int opened = transport->open(g.timeoutMs());
        if (opened == status::kTimeout) return status::kConnectTimeout;
        if (opened != status::kOk) return opened;
        auto handler = std::make_shared<SCPIHandler>(
            std::move(transport), libraryTimeLimit(), libraryErrorSink(),
            SCPIHandler::kLongReplyLimit, diagnosticsFor(bcn));
        const int st = handler->sendCommand(kTerminatorCommand);
        if (st != status::kOk) return st;
        return g.addInstrument(bcn, std::move(handler)) ? status::kOk : status::kInvalidRequest;
    });
}

KORDA_API int KORDA_CALL dlxVmrCommClose(int bcn) {
    return withInstrument(bcn, [&](SCPIHandler&, GlobalData& g) {
        return g.removeInstrument(bcn) ? status::kOk : status::kInvalidRequest;
    });
}

KORDA_API int KORDA_CALL dlxVmrModelCheck(int bcn) {
    const int st = withInstrument(
        bcn, [](SCPIHandler& h, GlobalData&) { return h.sendCommand(kTerminatorCommand); });
    if (st != status::kOk) return st;
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) -> int {
        const BcnSettings settings = g.settingsFor(bcn);
        std::string reply;
        const int q = h.query("*IDN?", reply);
        if (q != status::kOk) return q;
        return identifyModel(reply) == settings.model ? status::kOk : status::kModelMismatch;
    });
}

KORDA_API int KORDA_CALL dlxVmrTimeoutGet(uint32_t* seconds) {
    return withLibrary([&](GlobalData& g) -> int {
        if (seconds == nullptr) return status::kInvalidParameter;
        *seconds = g.timeoutMs() / 1000u;
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrTimeoutSet(uint32_t seconds) {
    return withLibrary([&](GlobalData& g) {
        const std::uint64_t ms = std::uint64_t{seconds} * 1000u;
        const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
        g.setTimeoutMs(static_cast<std::uint32_t>(ms > limit ? limit : ms));
        return status::kOk;
    });
}

} // extern "C"
