#include "Recorder.h"

#include "Channels.h"
#include "Commands.h"
#include "ConfigJson.h"
#include "Connection.h"
#include "Output.h"
#include "Pump.h"
#include "Signals.h"
#include "store/Store.h"
#include "store/Times.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#include <winsock2.h>
#else
#include <unistd.h>
#endif

namespace korda::tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFirstBcn = 100;          // the recorder's instruments: BCN 100, 101...
constexpr int kFirstBackoffMs = 100;    // between attempts to reconnect, doubling
constexpr int kLongestBackoffMs = 5000; // up to this
constexpr int kViewRefreshMs = 500;     // the live view's pace on a terminal
constexpr int kLogEveryMs = 600000;     // the status lines' pace elsewhere (10 minutes)
constexpr int kChannelsShown = 3;       // last values in a status line
// No scan for two intervals and two looks: the recorder asks whether the
// instrument still scans (the library may have reopened a broken link to an
// instrument that was restarted meanwhile).
constexpr long long kQuietIntervals = 2;
constexpr long long kQuietLooks = 2;

// The PC's name, which with the address tells its instruments apart from
// those of other PCs recording into the same database; KORDA_HOSTNAME
// stands for it.
std::string hostName() {
    if (const char* given = std::getenv("KORDA_HOSTNAME"); given && *given) return given;
    char name[256] = {};
    if (gethostname(name, static_cast<int>(sizeof name - 1)) != 0) return "localhost";
    return name;
}

bool stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// Where the recorder speaks: on a terminal, one status line per instrument
// rewritten in place with messages printed above them; elsewhere plain
// message lines.
class View {
  public:
    View() : terminal_(stderrIsTerminal()) {}
    bool terminal() const { return terminal_; }

    void say(const std::string& line) {
        std::lock_guard<std::mutex> g(mutex_);
        clear();
        message(line);
        redraw();
    }
    void show(std::vector<std::string> lines) {
        if (!terminal_) return;
        std::lock_guard<std::mutex> g(mutex_);
        clear();
        lines_ = std::move(lines);
        redraw();
    }
    // The status lines stay as they were last drawn.
    void finish() {
        std::lock_guard<std::mutex> g(mutex_);
        shown_ = 0;
        lines_.clear();
    }

  private:
    void clear() {
        if (!terminal_ || shown_ == 0) return;
        std::fprintf(stderr, "\x1b[%dA\x1b[J", shown_);
        shown_ = 0;
    }
    void redraw() {
        if (!terminal_) return;
        for (const auto& l : lines_)
            std::fprintf(stderr, "%s\x1b[K\n", l.c_str());
        shown_ = static_cast<int>(lines_.size());
        std::fflush(stderr);
    }

    bool terminal_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    int shown_ = 0;
};

// What the instruments share: the store, its lock, the memory bound.
struct Shared {
    const RecordOptions& options;
    store::Store& store;
    store::RunStart run;
    std::mutex storeLock;
    StoreSink::Hold hold;
    View& view;
    std::string host;
};

// Function and range names of the channels of a configuration, as its JSON
// form words them.
void nameFromJson(const json::Value& doc, store::ChannelInfo& info) {
    auto fill = [&info](const json::Value& ch) {
        if (const auto* f = ch.find("function")) info.function = f->text();
        if (const auto* r = ch.find("range")) info.range = r->text();
    };
    if (info.number == 1) {
        if (const auto* c1 = doc.find("channel1")) fill(*c1);
        return;
    }
    auto match = [&info](const json::Value& ch) {
        const auto* n = ch.find("channel");
        return n && n->asInteger() && *n->asInteger() == info.number;
    };
    if (const auto* computed = doc.find("computed"))
        for (const auto& ch : computed->items())
            if (match(ch)) return fill(ch);
    if (const auto* modules = doc.find("modules"))
        for (const auto& m : modules->items())
            if (const auto* chans = m.find("channels"))
                for (const auto& ch : chans->items())
                    if (match(ch)) return fill(ch);
}

enum class State { Connecting, Scanning, Reconnecting, Stopped, Failed };

const char* stateName(State s) {
    switch (s) {
    case State::Connecting:
        return "connecting";
    case State::Scanning:
        return "scanning";
    case State::Reconnecting:
        return "reconnecting";
    case State::Stopped:
        return "stopped";
    case State::Failed:
        return "failed";
    }
    return "";
}

class Worker {
  public:
    Worker(Shared& shared, const Address& address, int bcn)
        : s_(shared), address_(address), bcn_(bcn), connection_(bcn), pump_(bcn) {}

    void run() {
        result_ = record();
        if (state_ != State::Failed) state_ = State::Stopped;
    }

    int result() const { return result_; }

    std::string statusLine(double seconds) {
        const StoreSink* sink = viewSink_;
        const long long stored = sink ? sink->stored() : 0;
        const double rate = seconds > 0 ? static_cast<double>(stored - shownStored_) / seconds : 0;
        shownStored_ = stored;
        char head[160];
        std::snprintf(head, sizeof head, "%-24s %-12s %10lld scans %8.1f/s", address_.text.c_str(),
                      stateName(state_), stored, rate);
        std::string line = head;
        if (sink) {
            const auto readings = sink->lastReadings();
            for (std::size_t i = 0; i < readings.size() && i < kChannelsShown; ++i) {
                line += "  ";
                if (i < channels_.size()) line += std::to_string(channels_[i].number) + " ";
                line += readingText(readings[i]);
                if (i < channels_.size() && !channels_[i].unit.empty())
                    line += " " + channels_[i].unit;
            }
            line += "  gaps " + std::to_string(sink->gaps());
            if (sink->held() > 0) line += "  held in memory " + std::to_string(sink->held());
            if (const long long spooled = s_.store.waiting(instrumentId_); spooled > 0)
                line += "  spooled " + std::to_string(spooled);
        }
        return line;
    }

    std::string summary(const std::string& target) const {
        const StoreSink* sink = viewSink_;
        const long long stored = sink ? sink->stored() : 0;
        std::string s = named(std::to_string(stored) + " scans recorded in " + target);
        if (sink) {
            s += ", " + std::to_string(sink->gaps()) + (sink->gaps() == 1 ? " gap" : " gaps");
            if (sink->dropped() > 0)
                s += ", " + std::to_string(sink->dropped()) + " scans dropped at the memory bound";
            if (sink->held() > 0)
                s += ", " + std::to_string(sink->held()) + " scans could not be written";
            if (const long long spooled = s_.store.waiting(instrumentId_); spooled > 0)
                s += ", " + std::to_string(spooled) + " waiting in the spool";
        }
        return s;
    }

  private:
    void say(const std::string& text) { s_.view.say(named(text)); }
    // "tcp://lab-1:5025: text", "sim: text".
    std::string named(const std::string& text) const {
        return address_.text + (address_.text.back() == ':' ? " " : ": ") + text;
    }

    int failure(const std::string& doing, int status) {
        say(failureText(doing, status));
        return exitCodeFor(status);
    }

    int record() {
        state_ = State::Connecting;
        const RecordOptions& o = s_.options;
        const int open = connection_.open(address_, o.model, true);
        if (open != kExitOk) {
            say(connection_.failure());
            state_ = State::Failed;
            return open;
        }
        std::string identity;
        connection_.raw("*IDN?", identity);
        bool scanning = false;
        int st = askScanning(scanning);
        if (st != DLXVMR_OK) return failure("asking whether it scans", st);

        // A continued run finds the instrument as the killed recorder left
        // it: still scanning, it is left alone and its backlog fetched.
        const bool foundStopped = s_.run.continued && !scanning;
        if (s_.run.continued && scanning) {
            say("still scanning: the run continues");
        } else {
            if (foundStopped)
                say("not scanning: the run continues with the instrument started again");
            const int code = setUp(!s_.run.continued, scanning);
            if (code != kExitOk) return code;
        }
        st = learnRun();
        if (st != DLXVMR_OK) return failure("reading the scan settings", st);

        store::InstrumentInfo info;
        info.host = s_.host;
        info.address = address_.text;
        info.model = modelName(connection_.model());
        info.identity = identity;
        if (o.config) info.configJson = json::write(configToJson(*o.config));
        info.channels = channels_;
        store::InstrumentStart start;
        try {
            std::lock_guard<std::mutex> g(s_.storeLock);
            start = s_.store.instrument(info);
        } catch (const store::StoreError& e) {
            say(e.what());
            requestStop();
            return kExitFailure;
        }
        instrumentId_ = start.id;
        sink_ = std::make_unique<StoreSink>(s_.store, s_.storeLock, start.id, start.lastSequence,
                                            s_.hold, [this](const std::string& t) { say(t); });
        if (foundStopped)
            sink_->gap(
                {start.lastTime.empty()
                     ? store::isoText(s_.run.startedMs, store::offsetAt(s_.run.startedMs), true)
                     : start.lastTime,
                 store::nowIso(), "the instrument was found stopped when the run continued", 0});
        viewSink_ = sink_.get();
        if (!s_.run.continued || !scanning) {
            st = dlxVmrScansEnable(bcn_, 1);
            if (st != DLXVMR_OK) return failure("starting the scan", st);
        }
        state_ = State::Scanning;
        return pumpUntilDone(start.lastSequence);
    }

    int askScanning(bool& scanning) {
        std::string reply;
        const int st = connection_.raw("STAT:OPER?", reply);
        if (st == DLXVMR_OK) scanning = (std::strtol(reply.c_str(), nullptr, 10) & 256) != 0;
        return st;
    }

    // Configures the instrument for the recording (scanning stopped first);
    // fresh: its old readings are cleared too.
    int setUp(bool fresh, bool scanning) {
        const RecordOptions& o = s_.options;
        int st = DLXVMR_OK;
        if (scanning) {
            st = dlxVmrScansEnable(bcn_, 0);
            if (st != DLXVMR_OK) return failure("stopping its scan", st);
        }
        if (o.config && o.configDocument && !checked_) {
            // Checked once per instrument, one check at a time: the check's
            // virtual instrument is one for the whole process.
            static std::mutex checkLock;
            std::lock_guard<std::mutex> g(checkLock);
            ConfigDocument checkedDocument{o.configDocument, newRecord()};
            std::memcpy(checkedDocument.record.get(), o.config.get(), sizeof(VmrInstConfig));
            const int code =
                checkBeforeSending(bcn_, connection_, checkedDocument, o.configPath, o.force);
            if (code != kExitOk) return code;
            checked_ = true;
        }
        if (o.config) {
            auto sent = newRecord();
            std::memcpy(sent.get(), o.config.get(), sizeof(VmrInstConfig));
            if (o.interval >= 0) {
                sent->intervalHours = static_cast<uint32_t>(o.interval / 3600);
                sent->intervalMinutes = static_cast<uint32_t>(o.interval / 60 % 60);
                sent->intervalSeconds = static_cast<uint32_t>(o.interval % 60);
            }
            int detail = 0;
            st = dlxVmrConfigSet(bcn_, sent.get(), DLXVMR_CONFIG_SKIP_UNCHANGED, &detail);
            if (st == DLXVMR_CONFIG_NO_CHANNEL) {
                say("configuring from " + o.configPath + ": the record scans no channel");
                return kExitInstrument;
            }
            if (st != DLXVMR_OK) return failure("configuring from " + o.configPath, st);
        } else if (o.interval >= 0) {
            std::string reply;
            st = connection_.raw("TRIG:TIM " + std::to_string(o.interval), reply);
            if (st != DLXVMR_OK) return failure("setting the scan interval", st);
        }
        if (fresh) {
            st = dlxVmrScansClear(bcn_);
            if (st != DLXVMR_OK) return failure("clearing old readings", st);
        }
        return kExitOk;
    }

    // The scan list, interval and trigger count the instrument runs with.
    int learnRun() {
        const RecordOptions& o = s_.options;
        std::string reply;
        int st = connection_.raw("ROUT:SCAN?", reply);
        if (st != DLXVMR_OK) return st;
        const VmrInstConfig* names = o.config ? o.config.get() : o.naming.get();
        json::Value doc;
        if (names) doc = configToJson(*names);
        // Names and units from the configuration, or as the instrument holds them.
        const std::vector<int> numbers = parseChannelList(reply);
        const std::vector<Column> columns =
            names ? columnsFor(numbers, static_cast<int>(numbers.size()), names)
                  : instrumentColumns(connection_, numbers);
        channels_.clear();
        for (const Column& col : columns) {
            store::ChannelInfo c{col.channel, col.name, col.unit, {}, {}};
            if (names) nameFromJson(doc, c);
            channels_.push_back(c);
        }
        st = connection_.raw("TRIG:TIM?", reply);
        if (st != DLXVMR_OK) return st;
        intervalMs_ = std::max(0LL, std::atoll(reply.c_str())) * 1000;
        st = connection_.raw("TRIG:COUN?", reply);
        if (st != DLXVMR_OK) return st;
        finiteRun_ = std::atoll(reply.c_str()) > 0;
        return DLXVMR_OK;
    }

    PumpPlan plan(std::int64_t stored) const {
        const RecordOptions& o = s_.options;
        PumpPlan p;
        p.pollMs = o.pollMs;
        if (o.count > 0) p.count = std::max<long long>(o.count - stored, 0);
        if (o.forMs > 0)
            p.deadline = Clock::now() +
                         std::chrono::milliseconds(s_.run.startedMs + o.forMs - store::nowMs());
        p.quietAfter =
            std::chrono::milliseconds(kQuietIntervals * intervalMs_ + kQuietLooks * o.pollMs);
        return p;
    }

    int pumpUntilDone(std::int64_t storedBefore) {
        const RecordOptions& o = s_.options;
        for (;;) {
            const std::int64_t stored = storedBefore + sink_->stored();
            PumpPlan p = plan(stored);
            if (o.count > 0 && p.count == 0) return finish(false);
            switch (pump_.run(p, *sink_)) {
            case PumpEnd::Count:
                return finish(false);
            case PumpEnd::Deadline:
            case PumpEnd::Stopped:
            case PumpEnd::Drained:
                return finish(true);
            case PumpEnd::SinkFailed:
                requestStop();
                return kExitFailure;
            case PumpEnd::Quiet: {
                bool scanning = false;
                if (askScanning(scanning) != DLXVMR_OK) {
                    if (!reconnect()) return kExitCommunication;
                    break;
                }
                if (scanning) continue;
                if (finiteRun_) {
                    say("the instrument's run ended (its trigger count)");
                    return finish(true);
                }
                if (const int code = restart(); code != kExitOk) return code;
                break;
            }
            case PumpEnd::Failed: {
                const std::int64_t lastGood = pump_.lastContactMs();
                const int lost = pump_.lostInFlight();
                say(failureText(pump_.doing(), pump_.status()) + "; reconnecting");
                if (lost > 0)
                    sink_->gap({store::isoText(lastGood, store::offsetAt(lastGood), true),
                                store::nowIso(),
                                "the connection broke during a fetch of " + std::to_string(lost) +
                                    " scans: up to " + std::to_string(lost) + " may be lost",
                                0});
                if (!reconnect()) return stopRequested() ? kExitOk : kExitCommunication;
                bool scanning = false;
                if (askScanning(scanning) != DLXVMR_OK) break; // the next look fails again
                if (scanning) {
                    say("reconnected; the instrument kept scanning");
                    state_ = State::Scanning;
                    break;
                }
                if (const int code = restart(); code != kExitOk) return code;
                break;
            }
            }
        }
    }

    // The instrument stopped scanning on its own (restarted, or stopped at
    // its panel): what it still holds is fetched, the gap recorded, and it
    // is configured and started again.
    int restart() {
        say("the instrument is not scanning (restarted?): configuring and starting it again");
        PumpPlan drain;
        drain.drain = true;
        if (pump_.run(drain, *sink_) == PumpEnd::SinkFailed) return kExitFailure;
        if (const int code = setUp(false, false); code != kExitOk) return code;
        const int st = dlxVmrScansEnable(bcn_, 1);
        if (st != DLXVMR_OK) return failure("starting the scan again", st);
        // From the last scan it gave (its clock) to the start again (this PC's).
        const std::string last = sink_->lastScanTime();
        sink_->gap({last.empty() ? store::nowIso() : last, store::nowIso(),
                    "the instrument stopped scanning (restarted); started again", 0});
        state_ = State::Scanning;
        return kExitOk;
    }

    // Opens the connection again, waiting longer after each failed attempt;
    // false when the stop token ends the attempts.
    bool reconnect() {
        state_ = State::Reconnecting;
        int backoff = kFirstBackoffMs;
        for (int attempt = 1; !stopRequested(); ++attempt) {
            dlxVmrCommClose(bcn_);
            int st = dlxVmrCommOpen(bcn_);
            if (st == DLXVMR_OK) {
                bool scanning = false;
                st = askScanning(scanning);
                if (st == DLXVMR_OK) {
                    state_ = State::Scanning;
                    return true;
                }
            }
            if (attempt == 1 || attempt % 10 == 0)
                say(failureText("reconnecting (attempt " + std::to_string(attempt) + ")", st));
            pauseUnlessStopped(backoff);
            backoff = std::min(backoff * 2, kLongestBackoffMs);
        }
        return false;
    }

    // Stops the instrument; drain: what it still holds is fetched.
    int finish(bool drain) {
        int code = kExitOk;
        const int st = dlxVmrScansEnable(bcn_, 0);
        if (st != DLXVMR_OK) code = failure("stopping the scan", st);
        if (drain && st == DLXVMR_OK) {
            PumpPlan p;
            p.drain = true;
            const PumpEnd end = pump_.run(p, *sink_);
            if (end == PumpEnd::Failed)
                code = failure(pump_.doing(), pump_.status());
            else if (end == PumpEnd::SinkFailed)
                code = kExitFailure;
        }
        if (!sink_->flush() || sink_->held() > 0) code = std::max(code, kExitFailure);
        return code;
    }

    Shared& s_;
    Address address_;
    int bcn_;
    bool checked_ = false; // the configuration passed its check for this instrument
    Connection connection_;
    Pump pump_;
    std::unique_ptr<StoreSink> sink_;
    std::atomic<const StoreSink*> viewSink_{
        nullptr}; // for the live view, once the channels are known
    std::atomic<std::int64_t> instrumentId_{0};
    std::vector<store::ChannelInfo> channels_;
    long long intervalMs_ = 0;
    bool finiteRun_ = false;
    std::atomic<State> state_{State::Connecting};
    int result_ = kExitOk;
    long long shownStored_ = 0;
};

std::string libraryVersion() {
    char text[64] = {};
    dlxVmrGetVersion(nullptr, nullptr, nullptr, text, sizeof text);
    return text;
}

} // namespace

std::string defaultTarget() {
    const std::int64_t now = store::nowMs();
    std::string t = store::isoText(now, store::offsetAt(now), false); // 2026-03-07T09:05:03.042
    std::string stamp;
    for (const char c : t.substr(0, 19))
        if (c != '-' && c != ':') stamp.push_back(c == 'T' ? '-' : c);
    return "korda-" + stamp + (store::haveSqlite() ? ".sqlite" : ".csv");
}

int runRecorder(const RecordOptions& o) {
    StopScope scope;
#if !defined(_WIN32)
    // A file-size limit makes a write fail (the scans are held) instead of
    // ending korda.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    View view;
    std::unique_ptr<store::Store> target;
    store::RunStart run;
    const std::int64_t startedMs = store::nowMs();
    try {
        target = store::openStore(o.target);
        target->setSay([&view](const std::string& text) { view.say(text); });
        run = target->beginRun({store::isoText(startedMs, store::offsetAt(startedMs), true),
                                startedMs, KORDA_VERSION, libraryVersion(),
                                store::withoutPasswords(o.commandLine)});
    } catch (const std::exception& e) {
        message(e.what());
        return kExitFailure;
    }
    if (run.continued)
        view.say("continuing the unfinished run in " + store::withoutPasswords(o.target));
    Shared shared{o, *target, run, {}, StoreSink::Hold(o.holdBound), view, hostName()};
    std::vector<std::unique_ptr<Worker>> workers;
    for (std::size_t i = 0; i < o.addresses.size(); ++i)
        workers.push_back(
            std::make_unique<Worker>(shared, o.addresses[i], kFirstBcn + static_cast<int>(i)));
    std::vector<std::thread> threads;
    std::atomic<std::size_t> running{workers.size()};
    for (auto& w : workers)
        threads.emplace_back([&w, &running] {
            w->run();
            --running;
        });
    // The status lines: rewritten on a terminal, logged now and then elsewhere.
    const auto pace = std::chrono::milliseconds(view.terminal() ? kViewRefreshMs : kLogEveryMs);
    auto shown = Clock::now();
    while (running > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(view.terminal() ? 20 : 100));
        const auto now = Clock::now();
        if (now - shown < pace) continue;
        const double seconds = std::chrono::duration<double>(now - shown).count();
        shown = now;
        std::vector<std::string> lines;
        for (auto& w : workers)
            lines.push_back(w->statusLine(seconds));
        if (view.terminal())
            view.show(std::move(lines));
        else
            for (const auto& l : lines)
                view.say(l);
    }
    for (auto& t : threads)
        t.join();
    view.finish();
    int result = kExitOk;
    // Before the summaries: a forwarding store forwards its spool here.
    try {
        target->endRun(store::nowIso());
    } catch (const store::StoreError& e) {
        message(e.what());
        result = std::max(result, kExitFailure);
    }
    for (auto& w : workers) {
        message(w->summary(store::withoutPasswords(o.target)));
        result = std::max(result, w->result());
    }
    if (stopSignal() == SIGINT) return kExitInterrupted;
    return result;
}

} // namespace korda::tool
