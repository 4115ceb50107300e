#include "RecordHarness.h"
#include "KordaRun.h"
#include "LoopbackSocket.h"

#include <sqlite3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

extern char** environ;

namespace korda::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQuietMs = 40;           // a link this long without traffic, its last reply out
constexpr int kBoundMs = 20000;        // every wait's bound against a hang
constexpr const char* kPollMs = "100"; // the recorder's look at an idle instrument

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

int connectLoopback(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

bool sendAll(int s, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(s, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

bool waitFor(const std::function<bool()>& done, int boundMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// ---- Proxy ------------------------------------------------------------------

struct Proxy::Link {
    int recorder = -1;
    int instrument = -1; // -1 for a link opened while silent
    bool swallowed = false;
    std::string partial; // of the recorder's last line
    ~Link() {
        if (recorder >= 0) ::close(recorder);
        if (instrument >= 0) ::close(instrument);
    }
};

Proxy::Proxy(int upstreamPort) : upstream_(upstreamPort) {
    listener_ = listenLoopback(16, port_);
    thread_ = std::thread([this] { run(); });
}

Proxy::~Proxy() {
    running_ = false;
    thread_.join();
    ::close(listener_);
}

void Proxy::cut(Cut how) {
    whenQuiet([this, how] {
        if (how == Cut::Silence) {
            silent_ = true;
            for (auto& l : links_)
                l->swallowed = true;
            return;
        }
        for (auto& l : links_)
            if (how == Cut::Reset) {
                const linger abort{1, 0};
                ::setsockopt(l->recorder, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
        links_.clear();
    });
    // Returns once the cut is made.
    waitFor([this] {
        std::lock_guard<std::mutex> g(mutex_);
        return !pending_;
    });
}

void Proxy::restore() {
    whenQuiet([this] {
        silent_ = false;
        links_.erase(std::remove_if(links_.begin(), links_.end(),
                                    [](const auto& l) { return l->swallowed; }),
                     links_.end());
    });
}

void Proxy::whenQuiet(std::function<void()> action) {
    std::lock_guard<std::mutex> g(mutex_);
    pending_ = std::move(action);
}

void Proxy::onData(std::vector<std::string> marks, std::function<void()> action) {
    std::lock_guard<std::mutex> g(mutex_);
    marks_ = std::move(marks);
    onTrigger_ = action ? std::move(action) : [this] { links_.clear(); };
}

int Proxy::lines(const std::string& text) {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(std::count(sent_.begin(), sent_.end(), text));
}

void Proxy::act() {
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (!pending_) return;
        const long long last = std::max(lastToInstrumentUs_, lastToRecorderUs_);
        // A silent link has no replies to wait for.
        const bool quiet = silent_ || (nowUs() - last >= kQuietMs * 1000 &&
                                       lastToRecorderUs_ >= lastToInstrumentUs_);
        if (!quiet) return;
        action = pending_;
    }
    action();
    std::lock_guard<std::mutex> g(mutex_);
    pending_ = nullptr;
}

void Proxy::run() {
    std::vector<char> buffer(1 << 16);
    while (running_) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (auto& l : links_) {
            fds.push_back({l->recorder, POLLIN, 0});
            fds.push_back({l->instrument, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 5);
        // Only the links polled above have their entries in fds.
        const std::size_t polled = links_.size();
        if (fds[0].revents & POLLIN) {
            auto link = std::make_unique<Link>();
            link->recorder = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            link->swallowed = silent_;
            if (!silent_) link->instrument = connectLoopback(upstream_);
            if (link->recorder >= 0 && (silent_ || link->instrument >= 0))
                links_.push_back(std::move(link));
        }
        std::vector<Link*> dead;
        std::function<void()> fire;
        for (std::size_t i = 0; i < polled && !fire; ++i) {
            Link& l = *links_[i];
            for (int side = 0; side < 2; ++side) {
                const pollfd& p = fds[1 + 2 * i + static_cast<std::size_t>(side)];
                if (p.fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
                const ssize_t n = ::recv(p.fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) {
                    dead.push_back(&l);
                    break;
                }
                if (l.swallowed) continue;
                const int to = side == 0 ? l.instrument : l.recorder;
                if (!sendAll(to, buffer.data(), static_cast<std::size_t>(n))) {
                    dead.push_back(&l);
                    break;
                }
                std::lock_guard<std::mutex> g(mutex_);
                (side == 0 ? lastToInstrumentUs_ : lastToRecorderUs_) = nowUs();
                if (side != 0) continue;
                const std::string_view data(buffer.data(), static_cast<std::size_t>(n));
                const bool armed = !marks_.empty();
                while (!marks_.empty() && data.find(marks_.front()) != std::string_view::npos)
                    marks_.erase(marks_.begin());
                if (armed && marks_.empty()) fire = std::move(onTrigger_);
                l.partial.append(buffer.data(), static_cast<std::size_t>(n));
                for (std::size_t end; (end = l.partial.find('\n')) != std::string::npos;) {
                    std::string line = l.partial.substr(0, end);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    sent_.push_back(line);
                    l.partial.erase(0, end + 1);
                }
            }
        }
        links_.erase(std::remove_if(links_.begin(), links_.end(),
                                    [&dead](const auto& l) {
                                        return std::find(dead.begin(), dead.end(), l.get()) !=
                                               dead.end();
                                    }),
                     links_.end());
        if (fire) fire();
        act();
    }
    links_.clear();
}

// ---- DatabaseLock -----------------------------------------------------------

DatabaseLock::DatabaseLock(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return;
    sqlite3_busy_timeout(db_, 2000);
    held_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

DatabaseLock::~DatabaseLock() {
    if (held_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

int startSim(std::unique_ptr<Child>& child, int port, const std::string& log,
             const std::vector<std::string>& extra) {
    const auto offset = std::filesystem::exists(log) ? std::filesystem::file_size(log) : 0;
    std::vector<std::string> argv{KORDA_SIM_PROGRAM, "--model", "5129A",
                                  "--numbered",      "--port",  std::to_string(port)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    child = std::make_unique<Child>(argv, std::vector<std::string>{}, log);
    int found = 0;
    waitFor([&] {
        std::ifstream f(log, std::ios::binary);
        f.seekg(static_cast<std::streamoff>(offset));
        const std::string out(std::istreambuf_iterator<char>(f), {});
        const auto at = out.find("TCP port ");
        if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
        found = std::atoi(out.c_str() + at + 9);
        return true;
    });
    return found;
}

// ---- RecordingBench -----------------------------------------------------------

struct RecordingBench::Sim {
    int port = 0;
    std::unique_ptr<Child> child;
};

namespace {

// A query on a fresh read-only connection to the recording.
struct Query {
    Query(const std::string& path, const char* sql) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
            sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    }
    ~Query() {
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    bool row() { return s && sqlite3_step(s) == SQLITE_ROW; }
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
};

} // namespace

RecordingBench::RecordingBench(int instruments) {
    for (int i = 0; i < instruments; ++i) {
        auto sim = std::make_unique<Sim>();
        sim->port = startSim(sim->child, 0, simLog(i));
        proxies_.push_back(std::make_unique<Proxy>(sim->port));
        sims_.push_back(std::move(sim));
    }
}

RecordingBench::~RecordingBench() {
    recorder_.reset();
    proxies_.clear();
    sims_.clear();
}

void RecordingBench::env(const std::string& name, const std::string& value) {
    env_.push_back(name + "=" + value);
}

bool RecordingBench::startRecorder() {
    std::vector<std::string> argv{KORDA_TOOL};
    for (auto& p : proxies_)
        argv.push_back("tcp://127.0.0.1:" + std::to_string(p->port()));
    for (const char* a :
         {"record", "--config", KORDA_SOURCE_DIR "/examples/5129A-thermocouples.json", "--interval",
          "0", "--to"})
        argv.push_back(a);
    argv.push_back(target_.empty() ? database() : target_);
    std::vector<std::string> env = env_;
    env.push_back(std::string("KORDA_TEST_POLL_MS=") + kPollMs);
    env.push_back("KORDA_TEST_TIMEOUT_MS=200");
    recorder_ = std::make_unique<Child>(argv, env, dir_.file("korda.log").string());
    ++starts_;
    return recorder_->pid() > 0 && !sims_.empty() && sims_.front()->port > 0;
}

int RecordingBench::stopRecorder(int sig) {
    recorder_->signal(sig);
    return recorder_->wait(kBoundMs);
}

bool RecordingBench::restartSim(int i) {
    Sim& sim = *sims_[static_cast<std::size_t>(i)];
    sim.child->signal(SIGKILL);
    sim.child->wait(kBoundMs);
    return startSim(sim.child, sim.port, simLog(i)) == sim.port;
}

bool RecordingBench::limitRecorderFileSize(unsigned long long bytes) {
    rlimit now{};
    if (::prlimit(recorder_->pid(), RLIMIT_FSIZE, nullptr, &now) != 0) return false;
    now.rlim_cur = std::min<rlim_t>(bytes, now.rlim_max);
    return ::prlimit(recorder_->pid(), RLIMIT_FSIZE, &now, nullptr) == 0;
}

long long RecordingBench::largestFileBytes() const {
    long long most = 0;
    for (const char* tail : {"", "-wal", "-shm"}) {
        struct stat st {};
        if (::stat((database() + tail).c_str(), &st) == 0)
            most = std::max<long long>(most, st.st_size);
    }
    return most;
}

long long RecordingBench::stored(int i) {
    Query q(database(), "SELECT count(*) FROM scans JOIN instruments ON instruments.id = "
                        "scans.instrument_id WHERE instruments.address = ?");
    const std::string address = "tcp://127.0.0.1:" + std::to_string(proxy(i).port());
    sqlite3_bind_text(q.s, 1, address.c_str(), -1, SQLITE_TRANSIENT);
    return q.row() ? sqlite3_column_int64(q.s, 0) : 0;
}

bool RecordingBench::waitForScans(int i, long long atLeast) {
    return waitFor([&] { return stored(i) >= atLeast; });
}

int RecordingBench::runs() {
    Query q(database(), "SELECT count(*) FROM runs WHERE ended IS NOT NULL");
    return q.row() ? sqlite3_column_int(q.s, 0) : -1;
}

std::string RecordingBench::log() const {
    return dir_.read("korda.log");
}

Reconciliation RecordingBench::reconcile(int i) {
    Reconciliation r;
    std::ostringstream problems;
    const std::string address = "tcp://127.0.0.1:" + std::to_string(proxy(i).port());
    Query q(database(), "SELECT sequence, readings FROM scans JOIN instruments ON instruments.id "
                        "= scans.instrument_id WHERE instruments.address = ? ORDER BY sequence");
    sqlite3_bind_text(q.s, 1, address.c_str(), -1, SQLITE_TRANSIENT);
    long long expectSequence = 1, last = 0;
    while (q.row()) {
        const long long sequence = sqlite3_column_int64(q.s, 0);
        const int bytes = sqlite3_column_bytes(q.s, 1);
        std::vector<float> readings(static_cast<std::size_t>(bytes) / sizeof(float));
        if (bytes > 0)
            std::memcpy(readings.data(), sqlite3_column_blob(q.s, 1), readings.size() * 4);
        if (sequence != expectSequence)
            problems << "sequence " << sequence << " where " << expectSequence << " was due\n";
        expectSequence = sequence + 1;
        const float n = readings.empty() ? 0.0f : readings.front();
        if (std::any_of(readings.begin(), readings.end(), [n](float v) { return v != n; }) || n < 1)
            problems << "scan " << sequence << " is no numbered scan\n";
        const auto number = static_cast<long long>(n);
        if (number == last + 1) {
        } else if (number == 1) {
            ++r.restarts;
        } else if (number > last + 1) {
            r.lost += number - last - 1;
        } else {
            problems << "scan " << sequence << " repeats number " << number << " after " << last
                     << "\n";
        }
        last = number;
    }
    if (expectSequence == 1) problems << "no scan stored\n";
    {
        Query g(database(), "SELECT count(*), total(scans_lost) FROM gaps JOIN instruments ON "
                            "instruments.id = gaps.instrument_id WHERE instruments.address = ?");
        sqlite3_bind_text(g.s, 1, address.c_str(), -1, SQLITE_TRANSIENT);
        if (g.row()) {
            r.gaps = sqlite3_column_int(g.s, 0);
            r.lostInGaps = static_cast<long long>(sqlite3_column_double(g.s, 1));
        }
    }
    // The instrument's next scan must be the one after the last stored.
    const std::string sim =
        "tcp://127.0.0.1:" + std::to_string(sims_[static_cast<std::size_t>(i)]->port);
    const std::string held = runKorda(dir_, sim + " raw 'DATA:POIN?' INIT").out;
    if (held != "0\n") problems << "the instrument still holds " << held << " scans\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto next = static_cast<long long>(
        std::atof(runKorda(dir_, sim + " raw ABOR 'DATA:READ?'").out.c_str()));
    if (next != last + 1)
        problems << "the instrument's next scan is " << next << ", the last stored " << last
                 << "\n";
    r.problems = problems.str();
    return r;
}

} // namespace korda::test
