#include "SimHost.h"

#include "Instrument.h"
#include "ScanModel.h"
#include "TcpServer.h"
#include "korda32ext.h"

#include <mutex>
#include <string>
#include <vector>

namespace korda::tool {

namespace {

sim::Model simModel(int model) {
    return model == DLXVMR_MODEL_7043A   ? sim::Model::M7043A
           : model == DLXVMR_MODEL_5129A ? sim::Model::M5129A
                                         : sim::kDefaultModel;
}

std::vector<std::string> fittedModules(int model, unsigned fittedSlots) {
    std::vector<std::string> modules = sim::defaultModules(simModel(model));
    for (std::size_t slot = 0; slot < modules.size(); ++slot)
        if (!(fittedSlots & 1u << slot)) modules[slot].clear();
    return modules;
}

} // namespace

struct SimHost::Impl {
    Impl(int model, const std::vector<std::string>& modules)
        : instrument(simModel(model), modules) {}
    void serve() { server = std::make_unique<sim::TcpServer>(instrument); }
    sim::Instrument instrument;
    std::unique_ptr<sim::TcpServer> server;
};

SimHost::SimHost(int model)
    : impl_(std::make_unique<Impl>(model, sim::defaultModules(simModel(model)))) {
    {
        std::lock_guard<std::recursive_mutex> g(impl_->instrument.mutex());
        impl_->instrument.settings.timerSeconds = 1;
        impl_->instrument.settings.triggerCount = 0;
    }
    // Three thermocouples, as a read-back shows them, and no OEM text for
    // config set to replace.
    impl_->instrument.execute("CONF:TEMP TC,K,(@101:103)");
    impl_->instrument.execute("SYST:OEM:IDEN:STOR \"\",\"FLASH\"");
    sim::setScanChannels(impl_->instrument, {101, 102, 103});
    impl_->serve();
}

SimHost::SimHost(int model, unsigned fittedSlots)
    : impl_(std::make_unique<Impl>(model, fittedModules(model, fittedSlots))) {
    {
        std::lock_guard<std::recursive_mutex> g(impl_->instrument.mutex());
        impl_->instrument.clock.setManual();
    }
    impl_->serve();
}
SimHost::~SimHost() = default;

int SimHost::defaultModel() {
    return sim::kDefaultModel == sim::Model::M7043A ? DLXVMR_MODEL_7043A : DLXVMR_MODEL_5129A;
}

int SimHost::port() const {
    return impl_->server->listening() ? impl_->server->port() : 0;
}

} // namespace korda::tool
