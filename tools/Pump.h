// The scan pump: asks an open instrument how many scans it holds, fetches
// them as they arrive and hands each fetch to a sink, until a count, a
// deadline, a quiet spell, a failure or the stop token ends it. `scan` and
// `record` both run it; what they do with the scans is the sink's affair.
#pragma once

#include "korda32ext.h"
#include "store/Store.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korda::tool {

// Takes the scans of one fetch; false ends the pump (the sink failed and
// has said why).
class ScanSink {
  public:
    virtual ~ScanSink() = default;
    virtual bool take(std::vector<store::ScanRow>& scans) = 0;
};

struct PumpPlan {
    using Clock = std::chrono::steady_clock;
    long long count = 0; // scans to fetch in all, 0 = no limit
    Clock::time_point deadline = Clock::time_point::max();
    int pollMs = 1000;                                   // between looks while nothing is held
    Clock::duration quietAfter = Clock::duration::max(); // end when no scan came for this long
    bool drain = false; // fetch what is held and end; the stop token is ignored
};

enum class PumpEnd {
    Count,    // the count was reached
    Deadline, // the deadline passed
    Stopped,  // the stop token was set
    Quiet,    // no scan for quietAfter
    Drained,  // drain: nothing more is held
    Failed,   // a library call failed: status() tells
    SinkFailed,
};

class Pump {
  public:
    // Scans fetched per library call at most: a backlog (after an outage)
    // comes in few calls, each paying the link's round trips once.
    static constexpr int kChunk = 10000;

    explicit Pump(int bcn);

    PumpEnd run(const PumpPlan& plan, ScanSink& sink);

    // The status of the failed call after PumpEnd::Failed, and what was being done.
    int status() const { return status_; }
    const char* doing() const { return doing_; }
    // Scans handed to the sink in all runs.
    long long fetched() const { return fetched_; }
    // Scans the instrument held at the last look.
    int held() const { return held_; }
    // When the instrument last answered a look, ms since 1970-01-01 UTC.
    std::int64_t lastContactMs() const { return lastContactMs_; }
    // When the last scan arrived (or the pump was made).
    PumpPlan::Clock::time_point lastScan() const { return lastScan_; }
    // The scans a failed fetch asked for: they may have left the instrument
    // without arriving.
    int lostInFlight() const { return lostInFlight_; }

  private:
    // Turns the fetched record into rows; the readings per scan stay the same
    // within one fetch.
    void convert();

    int bcn_;
    // Room for kChunk scans of the most readings; pages the scans never
    // reach are never touched.
    std::unique_ptr<unsigned char[]> buffer_;
    std::vector<store::ScanRow> rows_;
    int status_ = 1;
    const char* doing_ = "";
    long long fetched_ = 0;
    int held_ = 0;
    int lostInFlight_ = 0;
    std::int64_t lastContactMs_ = 0;
    PumpPlan::Clock::time_point lastScan_;
};

// Feeds the scans of one instrument into a store: numbers them in the order
// they are stored (the sequence has neither gaps nor repeats), and commits
// each fetch in one transaction before the pump sends the next fetch. When
// the store cannot be written for a while (a full disk, a locked database)
// the scans are held in memory and written with the next fetch or retry;
// only when the scans held by all sinks together pass the bound are the
// oldest dropped, and recorded as a gap event once writing works again.
class StoreSink : public ScanSink {
  public:
    // The scans held by every sink of a process, and their bound.
    struct Hold {
        explicit Hold(long long most) : bound(most) {}
        const long long bound;
        std::atomic<long long> scans{0};
    };

    // lock guards the store (shared by the sinks of several instruments);
    // lastSequence: the highest sequence the store holds for the instrument.
    // say: where warnings go (none: silent).
    StoreSink(store::Store& store, std::mutex& lock, std::int64_t instrument,
              std::int64_t lastSequence, Hold& hold,
              std::function<void(const std::string&)> say = {});
    ~StoreSink() override;

    bool take(std::vector<store::ScanRow>& scans) override;
    // Writes what is held; true unless the store failed for good.
    bool flush();
    // A gap event, written in its place among the scans.
    void gap(store::GapEvent event);

    long long stored() const { return stored_; }   // scans committed
    long long held() const { return heldHere_; }   // scans waiting in memory
    long long dropped() const { return dropped_; } // scans lost to the bound
    long long gaps() const { return gaps_; }       // gap events
    // The last failure of the store ("" while writing works).
    std::string failure() const;
    // The readings of the last scan taken, for the live view.
    std::vector<float> lastReadings() const;
    // The time stamp of the last scan taken (ISO 8601 with offset), "" before any.
    std::string lastScanTime() const;

  private:
    struct Item {
        std::vector<store::ScanRow> scans; // or, when empty, the gap event
        store::GapEvent gap;
        bool dropMark = false; // the gap of scans dropped at the bound
    };
    void dropOldest(long long count);

    store::Store& store_;
    std::mutex& lock_;
    std::int64_t instrument_;
    std::int64_t sequence_;
    Hold& hold_;
    std::function<void(const std::string&)> say_;
    std::deque<Item> pending_;
    bool dropping_ = false;
    std::atomic<long long> stored_{0}, heldHere_{0}, dropped_{0}, gaps_{0};
    mutable std::mutex mine_; // the failure text and last readings, for the live view
    std::string failure_;
    std::vector<float> last_;
    std::int64_t lastTimeMs_ = 0;
    int lastOffset_ = 0;
    bool anyTaken_ = false;
};

// The time stamp of a scan entry read as UTC, in milliseconds since
// 1970-01-01. The instrument clock keeps the PC's local time (as `korda
// clock` sets it): the instant is this less the local UTC offset.
std::int64_t entryLocalMs(const ScanEntry& entry);

} // namespace korda::tool
