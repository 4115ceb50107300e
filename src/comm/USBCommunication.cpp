#include "comm/USBCommunication.h"

#include "core/Status.h"

#include <algorithm>

namespace korda32ex {

using namespace platform;

namespace {
const std::string kProbeQuery = "*IDN?\r\n";
}

USBCommunication::USBCommunication(int port, Diagnostics diagnostics)
    : port_(port), diagnostics_(std::move(diagnostics)) {}

void USBCommunication::recordDetail(const char* what, const std::string& reason) const {
    diagnostics_.detail(std::string(what) + " " + serialPortName(openPort_) + ": " + reason);
}

USBCommunication::~USBCommunication() {
    close();
}

int USBCommunication::open(std::uint32_t /*timeoutMs*/) {
    if (isOpen()) return status::kOk;
    const int first = port_ >= 1 ? port_ : kSearchFirst;
    const int last = port_ >= 1 ? port_ : kSearchLast;
    std::string reason;
    for (int k = first; k <= last; ++k) {
        const SerialHandle h = serialOpen(k);
        if (h == kInvalidSerial) {
            reason = "open " + serialPortName(k) + ": " + systemErrorText(lastSystemError());
            continue;
        }
        handle_ = h;
        openPort_ = k;
        if (probe()) {
            if (diagnostics_.tracing())
                diagnostics_.trace(TraceKind::Event, "open " + serialPortName(k));
            return status::kOk;
        }
        reason = "open " + serialPortName(k) + ": no answer to *IDN? within " +
                 std::to_string(kProbeReplyMs) + " ms";
        close();
    }
    if (first != last)
        reason = "search COM" + std::to_string(first) + " to COM" + std::to_string(last) +
                 ": no instrument answered";
    diagnostics_.detail(reason);
    return status::kInstrumentNotFound;
}

bool USBCommunication::probe() {
    if (sendBulk(kProbeQuery, kBulkWriteMs) != status::kOk) return false;
    std::string reply;
    return receive(kProbeReplyMs, reply) == status::kOk;
}

int USBCommunication::close() {
    if (isOpen()) serialClose(handle_);
    handle_ = kInvalidSerial;
    openPort_ = 0;
    return status::kOk;
}

int USBCommunication::write(const std::string& text, std::uint32_t timeoutMs) {
    if (!isOpen()) return status::kInvalidComPort;
    const long n = serialWrite(handle_, text.data(), text.size(), timeoutMs);
    if (n < 0) {
        recordDetail("write", systemErrorText(lastSystemError()));
        return status::kInvalidComPort;
    }
    if (n == 0 && !text.empty()) return status::kTimeout;
    // What could not be written within the limit is a time-out too.
    if (static_cast<std::size_t>(n) < text.size()) return status::kTimeout;
    return status::kOk;
}

int USBCommunication::send(const std::string& text, std::uint32_t timeoutMs) {
    return write(text, timeoutMs);
}

int USBCommunication::sendBulk(const std::string& text, std::uint32_t /*timeoutMs*/) {
    return write(text, kBulkWriteMs);
}

int USBCommunication::receive(std::uint32_t timeoutMs, std::string& text) {
    if (!isOpen()) return status::kInvalidComPort;
    const long n =
        serialRead(handle_, buffer_.data(), buffer_.size(), std::max<std::uint32_t>(timeoutMs, 1));
    if (n == kSerialTimeout) return status::kTimeout;
    if (n <= 0) {
        recordDetail("read", systemErrorText(lastSystemError()));
        return status::kInvalidComPort;
    }
    text.append(buffer_.data(), static_cast<std::size_t>(n));
    return status::kOk;
}

bool USBCommunication::drain(std::uint32_t limitMs) {
    return drainBy(limitMs, diagnostics_,
                   [this](std::string& chunk) { receive(drainLookMs(), chunk); });
}

} // namespace korda32ex
