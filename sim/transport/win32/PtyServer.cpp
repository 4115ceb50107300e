// Windows has no pseudo-terminals: the virtual instrument serves TCP only
// there. (Windows test runs reach a virtual instrument that runs natively on
// Linux through a Wine COM port.)
#include "transport/PtyServer.h"

namespace korda::sim {

struct PtyServer::Impl {};

PtyServer::PtyServer(Instrument&, const std::string&) {}
PtyServer::~PtyServer() = default;
bool PtyServer::ready() const {
    return false;
}
std::string PtyServer::error() const {
    return "pseudo-terminals are not available on this system";
}
std::string PtyServer::path() const {
    return "";
}
void PtyServer::setReading(bool) {}
void PtyServer::stop() {}

} // namespace korda::sim
