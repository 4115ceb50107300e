// The USB test bench on Linux: virtual instruments on pseudo-terminals in
// this process, COM k mapped to them through KORDA_COM<k>.
#include "UsbBench.h"

#include "PtyServer.h"

#include <cstdlib>
#include <map>

namespace korda::test {

namespace {

// A path that can never be opened: the COM ports without a device.
const char* const kNoDevice = "/dev/null/no-such-port";
constexpr int kHighestCom = 64;

void mapCom(int comNumber, const std::string& path) {
    const std::string name = "KORDA_COM" + std::to_string(comNumber);
    ::setenv(name.c_str(), path.c_str(), 1);
}

} // namespace

struct UsbBench::Impl {
    struct Port {
        explicit Port(sim::Model model) : instrument(model), server(instrument) {}
        sim::Instrument instrument;
        sim::PtyServer server;
    };
    std::map<int, std::unique_ptr<Port>> ports;
    std::string reason;
};

UsbBench::UsbBench() : impl_(std::make_unique<Impl>()) {
    const std::map<int, sim::Model> layout = {{kCom5129A, sim::Model::M5129A},
                                              {kComSilent, sim::Model::M7043A},
                                              {kCom7043A, sim::Model::M7043A},
                                              {kComStalled, sim::Model::M7043A}};
    for (const auto& [com, model] : layout) {
        auto port = std::make_unique<Impl::Port>(model);
        if (!port->server.ready()) {
            impl_->reason = port->server.error();
            impl_->ports.clear();
            return;
        }
        impl_->ports.emplace(com, std::move(port));
    }
    sim::Faults silent;
    silent.silent = true;
    impl_->ports.at(kComSilent)->instrument.setFaults(silent);
    impl_->ports.at(kComStalled)->server.setReading(false);
    for (int k = 1; k <= kHighestCom; ++k) {
        const auto it = impl_->ports.find(k);
        mapCom(k, it == impl_->ports.end() ? kNoDevice : it->second->server.path());
    }
}

UsbBench::~UsbBench() {
    for (int k = 1; k <= kHighestCom; ++k)
        mapCom(k, kNoDevice);
}

bool UsbBench::ready() const {
    return !impl_->ports.empty();
}

std::string UsbBench::reason() const {
    return impl_->reason;
}

} // namespace korda::test
