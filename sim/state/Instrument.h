// The virtual instrument: a stateful model of the 7043A and 5129A that
// answers the SCPI dialogue. Transports (TCP, pseudo-terminal) feed it lines
// through a Session and write back what it answers.
#pragma once

#include "ChannelModel.h"
#include "DirectModel.h"
#include "LogMemory.h"
#include "ModelTable.h"
#include "ScanModel.h"
#include "SettingsModel.h"
#include "SimClock.h"
#include "scpi/CommandTable.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace korda::sim {

// Transport-level faults, set by tests or by the command line.
struct Faults {
    unsigned replyDelayMs = 0;      // wait before each reply is written
    bool silent = false;            // read commands, never answer
    long disconnectAfterBytes = -1; // close the connection after this many reply bytes
    std::string garbage;            // written once before the next reply (may hold NULs)
    // Commands (header, any letter case) that the instrument rejects with an error.
    std::map<std::string, std::pair<int, std::string>> forcedErrors;
};

// The modules a unit of the model carries when nothing else is said: every
// slot filled (two in a 7043A, three in a 5129A).
std::vector<std::string> defaultModules(Model model);
// Reads a module list as "korda-sim --modules" takes it: one entry per slot,
// separated by commas; a module name, or "NONE" or "-" for an empty slot
// ("MUX22,NONE,MUX22"). Slots not named stay empty. False when the list names
// more slots than the model has, or an entry is not a plain name.
bool parseModuleList(Model model, const std::string& text, std::vector<std::string>& modules);

class Instrument {
  public:
    // An instrument with the default modules of its model.
    explicit Instrument(Model model);
    // An instrument with the given module in each slot ("" = empty slot).
    Instrument(Model model, const std::vector<std::string>& modules);

    Model model() const { return model_; }
    // What the model has (slots, functions, sensors, setup-file columns).
    const korda32ex::ModelTraits& traits() const { return traitsOf(model_); }
    // The model's name as "*IDN?" gives it ("7043A").
    const char* modelName() const { return traits().name.data(); }
    int slotCount() const { return traits().moduleSlots; }

    // Executes one program line; returns the reply lines (each without line
    // end). A reply that goes out only at the end of a run ("*OPC?") is
    // waited for, holding the instrument only for each look.
    std::vector<std::string> execute(const std::string& line);
    // The same without the wait: afterRunEnd tells that the lines may go out
    // only once wallMsToRunEnd() is 0.
    std::vector<std::string> execute(const std::string& line, bool& afterRunEnd);
    // The line end of replies: "\n" at power-on, "\r\n" after SYST:COMM:TERM CRLF.
    std::string lineEnd() const;

    // Fault injection (thread-safe copies).
    Faults faults() const;
    void setFaults(const Faults& f);
    void forceError(const std::string& header, int code, const std::string& text);
    // Takes the garbage to write before the next reply (empties it).
    std::string takeGarbage();

    // Error queue.
    void pushError(int code, const std::string& text);
    // The same with the instrument's own text of the code.
    void pushError(int code) { pushError(code, scpi_error::text(code)); }
    std::pair<int, std::string> popError();

    // Module fitted in a slot ("" = empty). Slots beyond the model's count are ignored.
    void setModule(int slot, const std::string& name);
    std::string module(int slot) const;

    // Counts of program lines executed, for diagnostics.
    std::uint64_t linesExecuted() const;

    // Restores the power-on settings (what "*RST" does).
    void reset();

    std::recursive_mutex& mutex() { return mutex_; }

    // ---- State of the instrument (guarded by mutex()) ----
    bool crlf = false;
    InstrumentSettings settings;
    ChannelModel channels;
    SimClock clock;     // time base and real-time clock (not touched by *RST)
    DirectState direct; // digital I/O, OEM identity, key lock
    ScanState scan;     // reading memory, scanning run, monitoring
    LogMemory log;      // log files (not touched by *RST)

    // The channels to scan, in the order of "ROUT:SCAN" (a copy, thread-safe).
    std::vector<int> scanList() const;

  private:
    void registerCommands();

    Model model_;
    CommandTable table_;
    mutable std::recursive_mutex mutex_;
    Faults faults_;
    std::deque<std::pair<int, std::string>> errors_;
    std::vector<std::string> modules_;
    std::uint64_t lines_ = 0;
};

// Splits received bytes into program lines (ended by "\n", carriage returns
// dropped) and collects the instrument's replies with their line ends. A
// line longer than kMaxLineBytes is dropped up to its line end, and error
// -363 ("Input buffer overrun") queued. A reply that goes out only at the end
// of a run ("*OPC?") makes the session wait: that reply and the lines that
// arrive meanwhile are held, never the instrument, until resume().
class Session {
  public:
    static constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

    explicit Session(Instrument& instrument) : instrument_(instrument) {}
    // Feeds received bytes; returns the reply text to write.
    std::string feed(const char* data, std::size_t length);
    bool waiting() const { return waiting_; }
    // While waiting: the wall time in ms to the end of the wait (at least 1),
    // or 0 when it is over and resume() is due.
    std::int64_t waitMs() const;
    // The input held while waiting has reached its bound: the transport reads
    // no more until the wait is over.
    bool inputFull() const { return held_.size() >= kMaxLineBytes; }
    // Ends a wait that is over: the reply held, then the replies to the lines
    // held (which may start another wait).
    std::string resume();

  private:
    void run(const char* data, std::size_t length, std::string& out);

    Instrument& instrument_;
    std::string pending_;
    bool overrun_ = false; // the line being received is too long: dropped to its end
    bool waiting_ = false;
    std::string heldReply_;
    std::string held_; // input received while waiting
};

} // namespace korda::sim
