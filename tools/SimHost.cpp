#include "SimHost.h"

#include "Instrument.h"
#include "ScanModel.h"
#include "TcpServer.h"
#include "korda32ext.h"

#include <mutex>

namespace korda::tool {

struct SimHost::Impl {
    explicit Impl(int model)
        : instrument(model == DLXVMR_MODEL_7043A   ? sim::Model::M7043A
                     : model == DLXVMR_MODEL_5129A ? sim::Model::M5129A
                                                   : sim::kDefaultModel) {
        {
            std::lock_guard<std::recursive_mutex> g(instrument.mutex());
            instrument.settings.timerSeconds = 1;
            instrument.settings.triggerCount = 0;
        }
        // Three thermocouples, as a read-back shows them, and no OEM text
        // for config set to replace.
        instrument.execute("CONF:TEMP TC,K,(@101:103)");
        instrument.execute("SYST:OEM:IDEN:STOR \"\",\"FLASH\"");
        sim::setScanChannels(instrument, {101, 102, 103});
        server = std::make_unique<sim::TcpServer>(instrument);
    }
    sim::Instrument instrument;
    std::unique_ptr<sim::TcpServer> server;
};

SimHost::SimHost(int model) : impl_(std::make_unique<Impl>(model)) {}
SimHost::~SimHost() = default;

int SimHost::port() const {
    return impl_->server->listening() ? impl_->server->port() : 0;
}

} // namespace korda::tool
