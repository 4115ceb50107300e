// The recording bench shared by every fault case: korda-sim programs in
// numbered mode, a loopback proxy in front of each, korda record as a child
// process writing an SQLite file, and the reconciliation of what each
// instrument produced with what the file holds.
#pragma once

#include "Child.h"
#include "TempDir.h"

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

namespace korda::test {

// Polls done until it holds, or the bound (ms) passes: false then.
bool waitFor(const std::function<bool()>& done, int boundMs = 20000);

// Starts korda-sim (5129A, numbered, with the extra options) on a port (0:
// any) with its output in log; returns the port it listens on, 0 on failure.
int startSim(std::unique_ptr<Child>& child, int port, const std::string& log,
             const std::vector<std::string>& extra = {});

// A loopback TCP proxy in front of an instrument. A cut waits until the
// link is quiet (the last reply out, nothing since), so that no fetch is
// cut halfway: the instrument hands every scan out once.
class Proxy {
  public:
    enum class Cut { Close, Reset, Silence };
    explicit Proxy(int upstreamPort);
    ~Proxy();
    int port() const { return port_; }
    void cut(Cut how);
    // Ends a silence: the links it swallowed are closed, new ones forwarded.
    void restore();
    // Runs action on the proxy's thread once the link is quiet.
    void whenQuiet(std::function<void()> action);
    // Once the recorder's data has held each of marks in turn: passes that
    // data on, then runs action on the proxy's thread at once (by default:
    // closes every link).
    void onData(std::vector<std::string> marks, std::function<void()> action = nullptr);
    // Lines the recorder sent that start with text.
    int lines(const std::string& text);

  private:
    struct Link;
    void run();
    void act();
    int listener_ = -1;
    int port_ = 0;
    int upstream_;
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::function<void()> pending_;
    std::vector<std::string> marks_;
    std::function<void()> onTrigger_;
    bool silent_ = false;
    std::vector<std::unique_ptr<Link>> links_;
    std::vector<std::string> sent_;
    long long lastToInstrumentUs_ = 0, lastToRecorderUs_ = 0;
    std::thread thread_;
};

// What the database holds of one instrument, set against the numbers it produced.
struct Reconciliation {
    std::string problems;     // empty when nothing is wrong
    int restarts = 0;         // numbering started again at 1
    long long lost = 0;       // numbers missing within a numbering
    long long lostInGaps = 0; // scans the gap events say were lost
    int gaps = 0;
};

// The write lock of a recording, held by this process while the object lives.
class DatabaseLock {
  public:
    explicit DatabaseLock(const std::string& path);
    ~DatabaseLock();
    bool held() const { return held_; }

  private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

class RecordingBench {
  public:
    explicit RecordingBench(int instruments);
    ~RecordingBench();
    int instruments() const { return static_cast<int>(sims_.size()); }
    Proxy& proxy(int i) { return *proxies_[static_cast<std::size_t>(i)]; }
    std::string database() const { return dir_.file("run.sqlite").string(); }
    std::string directory() const { return dir_.path().string(); }
    // Where korda records (the database file unless given).
    void target(const std::string& to) { target_ = to; }
    void env(const std::string& name, const std::string& value);

    // korda record with the same command line each time.
    bool startRecorder();
    // Signals korda and returns its exit code.
    int stopRecorder(int sig);
    bool restartSim(int i);
    bool limitRecorderFileSize(unsigned long long bytes);
    long long largestFileBytes() const;

    // Scans the database holds for instrument i (0 while it has none).
    long long stored(int i);
    bool waitForScans(int i, long long atLeast);
    int runs();
    Reconciliation reconcile(int i);
    // What korda said.
    std::string log() const;

  private:
    struct Sim;
    TempDir dir_;
    std::string target_;
    std::string simLog(int i) const {
        return dir_.file("sim" + std::to_string(i) + ".log").string();
    }
    std::vector<std::unique_ptr<Sim>> sims_;
    std::vector<std::unique_ptr<Proxy>> proxies_;
    std::vector<std::string> env_;
    std::unique_ptr<Child> recorder_;
    int starts_ = 0;
};

} // namespace korda::test
