#include "ForwardingStore.h"

#include "PostgresStore.h"
#include "Schema.h"
#include "SqliteStore.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace korda::tool::store {

namespace {

constexpr int kFirstBackoffMs = 100;    // between attempts to reach the database, doubling
constexpr int kLongestBackoffMs = 5000; // up to this
constexpr int kBatch = 10000;           // scans forwarded per transaction at most

class ForwardingStore final : public Store {
  public:
    ForwardingStore(const std::string& target, const std::string& path)
        : target_(target), place_(postgresPlace(target)), path_(path), spool_(path),
          counts_(spool_.waiting()) {
        thread_ = std::thread([this] { forwardLoop(); });
    }

    ~ForwardingStore() override {
        {
            std::lock_guard<std::mutex> g(state_);
            stop_ = true;
            if (remote_) remote_->interrupt();
        }
        wake_.notify_all();
        thread_.join();
    }

    int schemaVersion() const override { return kSchemaVersion; }

    RunStart beginRun(const RunInfo& run) override {
        std::lock_guard<std::mutex> g(spoolLock_);
        return spool_.store().beginRun(run);
    }

    InstrumentStart instrument(const InstrumentInfo& info) override {
        InstrumentStart out;
        {
            std::lock_guard<std::mutex> g(spoolLock_);
            out = spool_.store().instrument(info);
        }
        poke();
        return out;
    }

    void appendScans(std::int64_t instrument, const std::vector<ScanRow>& scans) override {
        {
            std::lock_guard<std::mutex> g(spoolLock_);
            spool_.store().appendScans(instrument, scans);
        }
        {
            std::lock_guard<std::mutex> g(state_);
            counts_[instrument] += static_cast<long long>(scans.size());
        }
        poke();
    }

    void gap(std::int64_t instrument, const GapEvent& g) override {
        {
            std::lock_guard<std::mutex> l(spoolLock_);
            spool_.store().gap(instrument, g);
        }
        poke();
    }

    // Marks the run finished and forwards what the spool holds; when the
    // database cannot be reached, says where the scans wait (StoreError).
    void endRun(const std::string& ended) override {
        {
            std::lock_guard<std::mutex> g(spoolLock_);
            spool_.store().endRun(ended);
        }
        std::unique_lock<std::mutex> g(state_);
        const long long pass = passes_ + 1;
        work_ = true;
        hurry_ = true;
        wake_.notify_all();
        // A pass that forwards nothing for this long waits on a silent server.
        constexpr int kStallSeconds = 30;
        long long last = -1;
        auto progress = std::chrono::steady_clock::now();
        while (!done_.wait_for(g, std::chrono::seconds(1), [&] { return outcomePass_ >= pass; })) {
            const long long now = total();
            if (now != last) {
                last = now;
                progress = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - progress >
                           std::chrono::seconds(kStallSeconds) &&
                       remote_) {
                remote_->interrupt();
            }
        }
        if (!outcomeOk_) {
            throw StoreError(std::to_string(total()) + " scans wait in the spool " + path_ + " (" +
                                 problem_ +
                                 "): the next `korda record --to` the same database "
                                 "forwards them",
                             true);
        }
    }

    long long waiting(std::int64_t instrument) const override {
        std::lock_guard<std::mutex> g(state_);
        const auto it = counts_.find(instrument);
        return it == counts_.end() ? 0 : it->second;
    }

    void setSay(std::function<void(const std::string&)> say) override {
        std::lock_guard<std::mutex> g(state_);
        say_ = std::move(say);
    }

  private:
    // Scans waiting in all; the caller holds state_.
    long long total() const {
        long long n = 0;
        for (const auto& [id, count] : counts_)
            n += count;
        return n;
    }

    void poke() {
        {
            std::lock_guard<std::mutex> g(state_);
            work_ = true;
        }
        wake_.notify_all();
    }

    void say(const std::string& text) {
        std::function<void(const std::string&)> to;
        {
            std::lock_guard<std::mutex> g(state_);
            to = say_;
        }
        if (to) to(text);
    }

    void forwardLoop() {
        int backoff = kFirstBackoffMs;
        bool reached = false; // the database was reached since the last failure
        for (;;) {
            long long pass = 0;
            {
                std::lock_guard<std::mutex> g(state_);
                if (stop_) return;
                pass = ++passes_;
                work_ = false;
                hurry_ = false;
            }
            bool ok = true;
            const bool fresh = !remote_; // this pass connects
            try {
                if (!remote_) {
                    auto pg = std::make_unique<PostgresStore>(target_);
                    std::lock_guard<std::mutex> g(state_);
                    remote_ = std::move(pg);
                }
                if (!reached && !problem_.empty())
                    say(place_ + ": reached again: forwarding the spool");
                reached = true;
                forwardAll(*remote_);
                backoff = kFirstBackoffMs;
            } catch (const std::exception& e) {
                ok = false;
                std::unique_ptr<PostgresStore> gone;
                {
                    std::lock_guard<std::mutex> g(state_);
                    gone = std::move(remote_);
                }
                gone.reset();
                remotes_.clear();
                const std::string text = e.what();
                if (reached || problem_.empty())
                    say(text + ": the scans wait in the spool " + path_ +
                        " and are forwarded when it is back");
                reached = false;
                std::lock_guard<std::mutex> g(state_);
                problem_ = text;
            }
            // A connection that had worked and broke (the server restarted
            // meanwhile) is followed at once by a fresh one: only that
            // attempt tells whether the database can be reached.
            if (!ok && !fresh) continue;
            std::unique_lock<std::mutex> g(state_);
            outcomePass_ = pass;
            outcomeOk_ = ok;
            done_.notify_all();
            if (ok)
                wake_.wait(g, [&] { return stop_ || work_; });
            else
                wake_.wait_for(g, std::chrono::milliseconds(backoff),
                               [&] { return stop_ || hurry_; });
            if (!ok) backoff = std::min(backoff * 2, kLongestBackoffMs);
        }
    }

    // Forwards every run of the spool, oldest first; a run that ended and is
    // wholly forwarded is marked ended in the database and leaves the spool.
    void forwardAll(PostgresStore& pg) {
        std::vector<SqliteSpool::Run> runs;
        {
            std::lock_guard<std::mutex> g(spoolLock_);
            runs = spool_.runs();
        }
        for (const auto& run : runs) {
            pg.beginRun(run.info);
            std::vector<SqliteSpool::Instrument> instruments;
            {
                std::lock_guard<std::mutex> g(spoolLock_);
                instruments = spool_.instruments(run.id);
            }
            for (const auto& i : instruments) {
                auto known = remotes_.find(i.id);
                if (known == remotes_.end())
                    known = remotes_.emplace(i.id, pg.instrument(i.info).id).first;
                forwardScans(pg, i.id, known->second);
                std::vector<std::pair<std::int64_t, GapEvent>> gaps;
                {
                    std::lock_guard<std::mutex> g(spoolLock_);
                    gaps = spool_.gaps(i.id);
                }
                for (const auto& [id, event] : gaps) {
                    pg.gap(known->second, event);
                    std::lock_guard<std::mutex> g(spoolLock_);
                    spool_.forwardedGap(id);
                }
            }
            if (run.ended.empty()) continue;
            pg.endRun(run.ended);
            std::lock_guard<std::mutex> g(spoolLock_);
            spool_.remove(run.id);
            for (const auto& i : instruments) {
                remotes_.erase(i.id);
                std::lock_guard<std::mutex> s(state_);
                counts_.erase(i.id);
            }
        }
    }

    void forwardScans(PostgresStore& pg, std::int64_t local, std::int64_t remote) {
        for (;;) {
            std::vector<ScanRow> batch;
            {
                std::lock_guard<std::mutex> g(spoolLock_);
                batch = spool_.scans(local, kBatch);
            }
            if (batch.empty()) return;
            pg.appendScans(remote, batch);
            {
                std::lock_guard<std::mutex> g(spoolLock_);
                spool_.forwardedScans(local, batch.back().sequence);
            }
            std::lock_guard<std::mutex> g(state_);
            counts_[local] -= static_cast<long long>(batch.size());
            if (batch.size() < static_cast<std::size_t>(kBatch)) return;
        }
    }

    const std::string target_;
    const std::string place_; // the target without its password
    const std::string path_;
    std::mutex spoolLock_; // the spool's one connection, shared with the forwarder
    SqliteSpool spool_;

    mutable std::mutex state_; // everything below
    std::condition_variable wake_, done_;
    std::map<std::int64_t, long long> counts_; // scans waiting per instrument
    std::function<void(const std::string&)> say_;
    std::unique_ptr<PostgresStore> remote_; // replaced by the forwarder only
    bool stop_ = false, work_ = true, hurry_ = false;
    long long passes_ = 0, outcomePass_ = 0;
    bool outcomeOk_ = false;
    std::string problem_; // the last failure

    std::map<std::int64_t, std::int64_t> remotes_; // local instrument ids, the forwarder's only
    std::thread thread_;
};

std::string fileSafe(const std::string& text) {
    std::string out;
    for (const char c : text)
        out.push_back(
            std::isalnum(static_cast<unsigned char>(c)) || c == '@' || c == '-' || c == '.' ? c
                                                                                            : '_');
    return out;
}

} // namespace

std::string spoolPath(const std::string& target) {
    const char* dir = std::getenv("KORDA_SPOOL_DIR");
    std::string path = dir && *dir ? std::string(dir) + "/" : std::string();
    return path + "korda-spool-" + fileSafe(postgresPlace(target)) + ".sqlite";
}

std::unique_ptr<Store> openForwardingStore(const std::string& target) {
    const std::string path = spoolPath(target);
    return std::make_unique<ForwardingStore>(target, path);
}

} // namespace korda::tool::store
