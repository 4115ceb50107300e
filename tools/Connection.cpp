#include "Connection.h"

#include "Output.h"
#include "korda32ext.h"

#include <vector>

namespace korda::tool {

Library::Library() : status_(dlxVmrLibInit(0)) {}

Library::~Library() {
    if (status_ == DLXVMR_OK) dlxVmrLibExit();
}

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (open_) dlxVmrCommClose(bcn_);
    open_ = false;
    sim_.reset();
}

int Connection::raw(const std::string& command, std::string& reply) {
    std::vector<char> buffer(64 * 1024);
    const int st = dlxVmrRawCommandA(bcn_, command.c_str(), buffer.data(),
                                     static_cast<uint32_t>(buffer.size()));
    reply = st == DLXVMR_OK ? std::string(buffer.data()) : std::string();
    return st;
}

int Connection::identify(int kind, int port, const unsigned char* ip, int& model) {
    // The library's model check tells whether the instrument is the model of
    // the connection settings; asking for each model in turn finds it.
    for (const int candidate : {DLXVMR_MODEL_7043A, DLXVMR_MODEL_5129A}) {
        dlxVmrCCFsetBCN(bcn_, kind, port, ip, candidate);
        const int st = dlxVmrModelCheck(bcn_);
        if (st == DLXVMR_OK) {
            model = candidate;
            return st;
        }
        if (st != DLXVMR_E_MODEL_MISMATCH) return st;
    }
    model = DLXVMR_MODEL_UNIDENTIFIED;
    return DLXVMR_OK;
}

int Connection::fail(const std::string& text, int exitCode) {
    failure_ = text;
    if (!quiet_) message(text);
    return exitCode;
}

int Connection::failStatus(const std::string& doing, int status) {
    return fail(failureText(doing, status), exitCodeFor(status));
}

int Connection::open(const Address& address, int modelGiven, bool quiet) {
    close();
    quiet_ = quiet;
    failure_.clear();
    unsigned char ip[4] = {127, 0, 0, 1};
    int kind = DLXVMR_INTERFACE_TCPIP;
    int port = address.port;
    where_ = address.text;
    if (address.kind == Address::Kind::Sim) {
        const int model = address.model ? address.model
                          : modelGiven  ? modelGiven
                                        : SimHost::defaultModel();
        sim_ = std::make_unique<SimHost>(model);
        port = sim_->port();
        if (port == 0) {
            return fail("the virtual instrument cannot listen on a loopback port", kExitFailure);
        }
        where_ =
            std::string("sim:") + modelName(model) + " (127.0.0.1:" + std::to_string(port) + ")";
        if (!modelGiven) modelGiven = model;
    } else if (address.kind == Address::Kind::Tcp) {
        std::string why;
        if (!resolveIPv4(address.host, ip, why)) {
            return fail("opening " + address.text + ": " + why, kExitCommunication);
        }
        where_ = "tcp://" + std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." +
                 std::to_string(ip[2]) + "." + std::to_string(ip[3]) + ":" + std::to_string(port);
        if (where_ != address.text) where_ = address.text + " (" + where_.substr(6) + ")";
    } else {
        kind = DLXVMR_INTERFACE_USB;
        if (port == 0) where_ = "usb: (COM1 to COM64 searched)";
    }
    int st = dlxVmrCCFsetBCN(bcn_, kind, port, ip, modelGiven);
    if (st == DLXVMR_OK) st = dlxVmrCommOpen(bcn_);
    if (st != DLXVMR_OK) return failStatus("opening " + where_, st);
    open_ = true;

    int found = DLXVMR_MODEL_UNIDENTIFIED;
    st = identify(kind, port, ip, found);
    if (st != DLXVMR_OK) return failStatus("identifying the instrument at " + where_, st);
    // The connection keeps the settings the library opened it with, the
    // model now known.
    dlxVmrCCFsetBCN(bcn_, kind, port, ip, found);
    model_ = found;
    if (modelGiven && modelGiven != found) {
        return fail(
            "model check: expected a " + std::string(modelName(modelGiven)) +
                ", but the instrument at " + where_ + " is " +
                (found ? std::string("a ") + modelName(found) : std::string("neither model")),
            kExitInstrument);
    }
    return kExitOk;
}

} // namespace korda::tool
