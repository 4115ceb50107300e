#include "Pump.h"

#include "Channels.h"
#include "Signals.h"
#include "store/Times.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace korda::tool {

namespace {

using Clock = PumpPlan::Clock;

// Sleeps until the next look: ms, or less when the deadline comes first;
// wakes early on the stop token unless it is ignored. The token is looked at
// every 100 ms: an idle pump wakes a few times a second, no more.
void waitForNextLook(int ms, Clock::time_point deadline, bool ignoreStop) {
    constexpr auto kStopLook = std::chrono::milliseconds(100);
    const auto until = std::min(Clock::now() + std::chrono::milliseconds(ms), deadline);
    for (auto now = Clock::now(); now < until && (ignoreStop || !stopRequested());
         now = Clock::now())
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kStopLook));
}

} // namespace

std::int64_t entryLocalMs(const ScanEntry& e) {
    return store::civilToMs(2000 + e.year, e.month, e.day, e.hour, e.minute, e.second, e.fraction);
}

Pump::Pump(int bcn)
    : bcn_(bcn),
      buffer_(new unsigned char[DLXVMR_SCAN_BUFFER_SIZE(kChunk, DLXVMR_MAX_READINGS_PER_SCAN)]),
      lastScan_(Clock::now()) {}

void Pump::convert() {
    const auto& record = *reinterpret_cast<const ScanRecord*>(buffer_.get());
    const int n = record.scanCount;
    const int readings = (record.entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
    rows_.resize(static_cast<std::size_t>(n));
    if (n == 0) return;
    // One time-zone look-up per fetch, unless the fetch spans an offset change.
    const std::int64_t firstLocal = entryLocalMs(*DLXVMR_SCAN_ENTRY(&record, 0));
    const std::int64_t lastLocal = entryLocalMs(*DLXVMR_SCAN_ENTRY(&record, n - 1));
    const int firstOffset = store::localOffsetMinutes(firstLocal);
    const bool oneOffset = store::localOffsetMinutes(lastLocal) == firstOffset;
    for (int i = 0; i < n; ++i) {
        const ScanEntry& e = *DLXVMR_SCAN_ENTRY(&record, i);
        store::ScanRow& row = rows_[static_cast<std::size_t>(i)];
        const std::int64_t local = entryLocalMs(e);
        row.utcOffsetMinutes = oneOffset ? firstOffset : store::localOffsetMinutes(local);
        row.timeMs = local - static_cast<std::int64_t>(row.utcOffsetMinutes) * 60000;
        row.alarms = -1; // the scan record does not carry the alarm field
        row.sequence = 0;
        row.readings.resize(static_cast<std::size_t>(readings));
        if (readings > 0)
            std::memcpy(row.readings.data(), e.readings,
                        static_cast<std::size_t>(readings) * sizeof(float));
    }
}

PumpEnd Pump::run(const PumpPlan& plan, ScanSink& sink) {
    long long fetchedHere = 0;
    lastScan_ = Clock::now();
    auto* record = reinterpret_cast<ScanRecord*>(buffer_.get());
    // Scans known to be held after the last fetch: the next fetch goes
    // without a look of its own.
    int backlog = 0;
    for (;;) {
        if (!plan.drain && stopRequested()) return PumpEnd::Stopped;
        if (plan.count > 0 && fetchedHere >= plan.count) return PumpEnd::Count;
        if (!plan.drain && Clock::now() >= plan.deadline) return PumpEnd::Deadline;
        if (backlog == 0) {
            int held = 0;
            status_ = dlxVmrGetScansCount(bcn_, &held);
            if (status_ != DLXVMR_OK) {
                doing_ = "counting the scans held";
                lostInFlight_ = 0;
                return PumpEnd::Failed;
            }
            held_ = std::max(held, 0);
            lastContactMs_ = store::nowMs();
            if (held_ == 0) {
                if (plan.drain) return PumpEnd::Drained;
                if (Clock::now() - lastScan_ > plan.quietAfter) return PumpEnd::Quiet;
                waitForNextLook(plan.pollMs, plan.deadline, false);
                continue;
            }
            backlog = held_;
        }
        long long want = std::min(backlog, kChunk);
        if (plan.count > 0) want = std::min(want, plan.count - fetchedHere);
        // A fetch that fails before it asks for scans leaves the record as
        // it was: cleared first, it then holds none.
        record->entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        record->scanCount = 0;
        record->scansRemaining = 0;
        status_ = dlxVmrScansGet(bcn_, static_cast<uint32_t>(want), record);
        const bool failed = status_ < DLXVMR_OK;
        // Scans parsed before a failure are kept; the others asked for may
        // have left the instrument without arriving (it hands each out once).
        lostInFlight_ = failed ? static_cast<int>(want) - std::max(record->scanCount, 0) : 0;
        if (failed) doing_ = "fetching scans";
        convert();
        backlog = failed ? 0 : std::max(record->scansRemaining, 0);
        held_ = backlog;
        if (rows_.empty()) {
            if (failed) return PumpEnd::Failed;
            continue;
        }
        lastContactMs_ = store::nowMs();
        fetchedHere += static_cast<long long>(rows_.size());
        fetched_ += static_cast<long long>(rows_.size());
        lastScan_ = Clock::now();
        if (!sink.take(rows_)) return PumpEnd::SinkFailed;
        if (failed) return PumpEnd::Failed;
    }
}

} // namespace korda::tool

namespace korda::tool {

StoreSink::StoreSink(store::Store& store, std::mutex& lock, std::int64_t instrument,
                     std::int64_t lastSequence, Hold& hold,
                     std::function<void(const std::string&)> say)
    : store_(store), lock_(lock), instrument_(instrument), sequence_(lastSequence), hold_(hold),
      say_(std::move(say)) {}

StoreSink::~StoreSink() {
    hold_.scans -= heldHere_;
}

std::string StoreSink::failure() const {
    std::lock_guard<std::mutex> g(mine_);
    return failure_;
}

std::vector<float> StoreSink::lastReadings() const {
    std::lock_guard<std::mutex> g(mine_);
    return last_;
}

std::string StoreSink::lastScanTime() const {
    std::lock_guard<std::mutex> g(mine_);
    return anyTaken_ ? store::isoText(lastTimeMs_, lastOffset_, true) : std::string();
}

void StoreSink::gap(store::GapEvent event) {
    Item item;
    item.gap = std::move(event);
    pending_.push_back(std::move(item));
    flush();
}

bool StoreSink::take(std::vector<store::ScanRow>& scans) {
    {
        std::lock_guard<std::mutex> g(mine_);
        last_ = scans.back().readings;
        lastTimeMs_ = scans.back().timeMs;
        lastOffset_ = scans.back().utcOffsetMinutes;
        anyTaken_ = true;
    }
    const auto n = static_cast<long long>(scans.size());
    Item item;
    item.scans = std::move(scans);
    scans.clear();
    pending_.push_back(std::move(item));
    heldHere_ += n;
    const long long over = (hold_.scans += n) - hold_.bound;
    if (over > 0) dropOldest(std::min(over, heldHere_.load()));
    return flush();
}

void StoreSink::dropOldest(long long count) {
    // The dropped scans leave a hole just before the oldest scans still
    // held: a gap event there marks it.
    long long left = count;
    for (auto it = pending_.begin(); left > 0 && it != pending_.end();) {
        if (it->scans.empty()) {
            ++it;
            continue;
        }
        if (it == pending_.begin() || !std::prev(it)->dropMark) {
            Item mark;
            mark.dropMark = true;
            mark.gap.reason = "the store could not be written and the scans held in memory "
                              "passed the bound of " +
                              std::to_string(hold_.bound) + ": the oldest were dropped";
            it = std::next(pending_.insert(it, std::move(mark)));
        }
        store::GapEvent& mark = std::prev(it)->gap;
        auto& scans = it->scans;
        const auto n = static_cast<std::size_t>(
            std::min<long long>(left, static_cast<long long>(scans.size())));
        if (mark.scansLost == 0)
            mark.from = store::isoText(scans.front().timeMs, scans.front().utcOffsetMinutes, true);
        mark.until = store::isoText(scans[n - 1].timeMs, scans[n - 1].utcOffsetMinutes, true);
        mark.scansLost += static_cast<long long>(n);
        scans.erase(scans.begin(), scans.begin() + static_cast<std::ptrdiff_t>(n));
        left -= static_cast<long long>(n);
        if (scans.empty()) it = pending_.erase(it);
    }
    const long long gone = count - left;
    heldHere_ -= gone;
    hold_.scans -= gone;
    dropped_ += gone;
    if (say_ && gone > 0 && !dropping_)
        say_("the scans held in memory passed the bound of " + std::to_string(hold_.bound) +
             ": the oldest are dropped, and recorded as a gap");
    dropping_ = true;
}

bool StoreSink::flush() {
    std::lock_guard<std::mutex> g(lock_);
    while (!pending_.empty()) {
        Item& item = pending_.front();
        try {
            if (item.scans.empty()) {
                store_.gap(instrument_, item.gap);
                ++gaps_;
            } else {
                std::int64_t next = sequence_;
                for (auto& r : item.scans)
                    r.sequence = ++next;
                store_.appendScans(instrument_, item.scans);
                sequence_ = next;
                const auto n = static_cast<long long>(item.scans.size());
                stored_ += n;
                heldHere_ -= n;
                hold_.scans -= n;
            }
        } catch (const store::StoreError& e) {
            const bool first = failure().empty();
            {
                std::lock_guard<std::mutex> m(mine_);
                failure_ = e.what();
            }
            if (!e.transient()) {
                if (say_) say_(e.what());
                return false;
            }
            if (say_ && first)
                say_(std::string(e.what()) + ": holding the scans in memory (at most " +
                     std::to_string(hold_.bound) + ") until it can be written");
            return true;
        }
        pending_.pop_front();
    }
    if (!failure().empty()) {
        {
            std::lock_guard<std::mutex> m(mine_);
            failure_.clear();
        }
        if (say_) say_("writing again: the scans held are stored");
    }
    dropping_ = false;
    return true;
}

} // namespace korda::tool
