#include "Instrument.h"

#include "ChannelSettings.h"
#include "ComputedModel.h"
#include "scpi/ScpiArgs.h"

#include "comm/ScpiText.h"

#include <cctype>
#include <cstring>

namespace korda::sim {

namespace {

constexpr std::size_t kErrorQueueSize = 20;

} // namespace

std::vector<std::string> defaultModules(Model model) {
    return std::vector<std::string>(static_cast<std::size_t>(traitsOf(model).moduleSlots), "MUX22");
}

bool parseModuleList(Model model, const std::string& text, std::vector<std::string>& modules) {
    const auto slots = static_cast<std::size_t>(traitsOf(model).moduleSlots);
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string entry =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        for (const char c : entry)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
        if (entry == "-" || upperCase(entry) == "NONE") entry.clear();
        out.push_back(entry);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (out.size() > slots) return false;
    out.resize(slots);
    modules = std::move(out);
    return true;
}

Instrument::Instrument(Model model) : Instrument(model, defaultModules(model)) {}

Instrument::Instrument(Model model, const std::vector<std::string>& modules) : model_(model) {
    modules_.assign(static_cast<std::size_t>(slotCount()), "");
    for (std::size_t slot = 0; slot < modules.size(); ++slot)
        setModule(static_cast<int>(slot), modules[slot]);
    registerCommands();
    reset();
}

void Instrument::registerCommands() {
    CommandTable& t = table_;
    t.add("*IDN?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(std::string("KORDA-SIM,") + in.modelName() + ",SIM00001,1.00");
    });
    t.add("*OPT?", [](Instrument& in, const Request&, Reply& r) {
        std::string reply;
        for (int slot = 0; slot < in.slotCount(); ++slot) {
            if (slot > 0) reply += ",";
            const std::string m = in.module(slot);
            reply += m.empty() ? "NONE,0" : m + ",0";
        }
        r.lines.push_back(reply);
    });
    t.add("*RST", [](Instrument& in, const Request&, Reply&) { in.reset(); });
    t.add("*CLS", [](Instrument& in, const Request&, Reply&) { in.errors_.clear(); });
    // Completes once a scanning run of a fixed number of timed sweeps is over
    // (a manual clock is moved on to that instant).
    t.add("*OPC?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back("1");
        const std::int64_t left = msToRunEnd(in);
        if (left < 0) return;
        if (!in.clock.manual()) {
            r.afterRunEnd = true;
            return;
        }
        in.clock.advance(left);
        catchUpScanning(in);
    });
    t.add("SYSTem:ERRor?", [](Instrument& in, const Request&, Reply& r) {
        const auto e = in.popError();
        r.lines.push_back(std::to_string(e.first) + "," + korda32ex::scpitext::quoted(e.second));
    });
    t.add("SYSTem:COMMunicate:TERMinator", [](Instrument& in, const Request& q, Reply& r) {
        const std::string a = upperCase(q.args);
        if (a == "CRLF")
            in.crlf = true;
        else if (a == "LF")
            in.crlf = false;
        else
            r.error(scpi_error::kIllegalValue);
    });
    t.add("SYSTem:COMMunicate:TERMinator?", [](Instrument& in, const Request&, Reply& r) {
        r.lines.push_back(in.crlf ? "CRLF" : "LF");
    });
    registerSettingsCommands(t);
    registerChannelCommands(t);
    registerChannelSettingsCommands(t);
    registerComputedCommands(t);
    registerDirectCommands(t);
    registerScanCommands(t);
    registerLogCommands(t);
}

void Instrument::reset() {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    // The line end is a communication setting and survives *RST.
    settings.reset();
    channels.reset();
    direct.reset();
    scan.reset();
}

std::vector<int> Instrument::scanList() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return channels.scanList;
}

std::string Instrument::lineEnd() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return crlf ? "\r\n" : "\n";
}

std::vector<std::string> Instrument::execute(const std::string& line) {
    bool afterRunEnd = false;
    auto lines = execute(line, afterRunEnd);
    if (afterRunEnd) awaitRunEnd(*this);
    return lines;
}

std::vector<std::string> Instrument::execute(const std::string& line, bool& afterRunEnd) {
    afterRunEnd = false;
    std::lock_guard<std::recursive_mutex> g(mutex_);
    ++lines_;
    const Request req = parseRequest(line);
    if (req.header.empty()) return {};
    const Handler* h = table_.find(req.header);
    // A forced error names its command in any of its forms: the short and the
    // long spelling reach the same entry of the command table.
    for (const auto& [header, error] : faults_.forcedErrors) {
        if (header == upperCase(req.header) || (h != nullptr && table_.find(header) == h)) {
            pushError(error.first, error.second);
            return {};
        }
    }
    if (h == nullptr) {
        pushError(scpi_error::kUndefinedHeader);
        return {};
    }
    Reply reply;
    (*h)(*this, req, reply);
    if (reply.errorCode != 0) pushError(reply.errorCode, reply.errorText);
    afterRunEnd = reply.afterRunEnd;
    return reply.lines;
}

Faults Instrument::faults() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return faults_;
}

void Instrument::setFaults(const Faults& f) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    faults_ = f;
    std::map<std::string, std::pair<int, std::string>> forced;
    for (const auto& [k, v] : faults_.forcedErrors)
        forced[upperCase(k)] = v;
    faults_.forcedErrors = std::move(forced);
}

void Instrument::forceError(const std::string& header, int code, const std::string& text) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    faults_.forcedErrors[upperCase(header)] = {code, text};
}

std::string Instrument::takeGarbage() {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    std::string out;
    out.swap(faults_.garbage);
    return out;
}

void Instrument::pushError(int code, const std::string& text) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (errors_.size() >= kErrorQueueSize) {
        errors_.back() = {scpi_error::kQueueOverflow, scpi_error::text(scpi_error::kQueueOverflow)};
        return;
    }
    errors_.emplace_back(code, text);
}

std::pair<int, std::string> Instrument::popError() {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (errors_.empty()) return {scpi_error::kNoError, scpi_error::text(scpi_error::kNoError)};
    auto e = errors_.front();
    errors_.pop_front();
    return e;
}

void Instrument::setModule(int slot, const std::string& name) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (slot >= 0 && slot < static_cast<int>(modules_.size()))
        modules_[static_cast<std::size_t>(slot)] = name;
}

std::string Instrument::module(int slot) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (slot < 0 || slot >= slotCount()) return "";
    return modules_[static_cast<std::size_t>(slot)];
}

std::uint64_t Instrument::linesExecuted() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return lines_;
}

std::string Session::feed(const char* data, std::size_t length) {
    std::string out;
    if (waiting_)
        held_.append(data, length);
    else
        run(data, length, out);
    return out;
}

void Session::run(const char* data, std::size_t length, std::string& out) {
    const char* const end = data + length;
    for (const char* p = data; p < end;) {
        const auto* lineEnd =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* const stop = lineEnd != nullptr ? lineEnd : end;
        for (; p < stop && !overrun_; ++p) {
            if (*p == '\r') continue;
            if (pending_.size() == kMaxLineBytes) {
                overrun_ = true;
                std::string().swap(pending_);
                instrument_.pushError(scpi_error::kInputBufferOverrun);
                break;
            }
            pending_.push_back(*p);
        }
        if (lineEnd == nullptr) return;
        p = lineEnd + 1; // the rest of an overrun line is dropped
        if (overrun_) {
            overrun_ = false;
            continue;
        }
        std::string line;
        line.swap(pending_);
        bool afterRunEnd = false;
        std::string replies;
        for (const auto& reply : instrument_.execute(line, afterRunEnd)) {
            replies += reply;
            replies += instrument_.lineEnd();
        }
        if (afterRunEnd) {
            waiting_ = true;
            heldReply_ = std::move(replies);
            held_.assign(p, static_cast<std::size_t>(end - p));
            return;
        }
        out += replies;
    }
}

std::int64_t Session::waitMs() const {
    return waiting_ ? wallMsToRunEnd(instrument_) : 0;
}

std::string Session::resume() {
    std::string out;
    out.swap(heldReply_);
    waiting_ = false;
    std::string input;
    input.swap(held_);
    run(input.data(), input.size(), out);
    return out;
}

} // namespace korda::sim
