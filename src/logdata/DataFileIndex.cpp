#include "logdata/DataFileIndex.h"

#include "core/Status.h"
#include "logdata/DataFileReader.h"
#include "logdata/DriveFiles.h"
#include "logdata/FileLines.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace korda32ex::logdata {

namespace {

constexpr std::string_view kDataHeader = "Record #,Time,";

bool holdsHeaderText(std::string_view text) {
    return text.find(kDataHeader) != std::string_view::npos;
}

int scansOrStatus(int n) {
    return n > 0 ? n : status::kTooManyScans;
}

// Takes the wanted lines of an indexed file, reading from the mark before the
// first of them to the last.
int readIndexed(const platform::ReadOnlyFile& file, const DataFileIndex& index, ScanRecord& record,
                int start, int count) {
    record.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
    ScanReading reading(start, count, record);
    const std::int64_t first = reading.first();
    if (first < index.dataLines) {
        const std::size_t mark = static_cast<std::size_t>(first / DataFileIndex::kStride);
        FileLines lines(file, index.marks[mark]);
        std::int64_t i = static_cast<std::int64_t>(mark) * DataFileIndex::kStride;
        std::string_view line;
        std::uint64_t offset = 0;
        while (!reading.doneAt(i) && lines.next(line, offset)) {
            if (!isDataLine(line)) continue;
            if (reading.wants(i)) reading.take(line);
            ++i;
        }
    }
    return scansOrStatus(reading.finish(index.dataLines));
}

} // namespace

DataFileIndexCache& DataFileIndexCache::shared() {
    static DataFileIndexCache cache;
    return cache;
}

std::shared_ptr<const DataFileIndex> DataFileIndexCache::find(const std::wstring& path,
                                                              const platform::FileStamp& stamp) {
    const std::lock_guard<std::mutex> guard(mutex_);
    for (Entry& e : entries_)
        if (e.path == path && e.index->stamp.sameState(stamp)) {
            e.lastUse = ++uses_;
            return e.index;
        }
    return nullptr;
}

void DataFileIndexCache::store(const std::wstring& path,
                               std::shared_ptr<const DataFileIndex> index) {
    const std::lock_guard<std::mutex> guard(mutex_);
    auto slot = std::find_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.path == path; });
    if (slot == entries_.end()) {
        if (entries_.size() < kFiles) {
            entries_.push_back(Entry{path, nullptr, 0});
            slot = entries_.end() - 1;
        } else {
            slot = std::min_element(
                entries_.begin(), entries_.end(),
                [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
            slot->path = path;
        }
    }
    slot->index = std::move(index);
    slot->lastUse = ++uses_;
}

int readDataFile(const std::wstring& path, int start, int count, ScanRecord& record,
                 DataFileIndexCache& cache, std::string* failure) {
    const auto fail = [&](std::string why) {
        if (failure) *failure = std::move(why);
        return status::kBadFile;
    };
    const auto systemFailure = [&](const char* doing) {
        return fail(std::string("reading the data file: ") + doing + " " + pathText(path) + ": " +
                    platform::systemErrorText(platform::lastSystemError()));
    };
    const auto notData = [&]() { return fail(pathText(path) + ": no \"Record #,Time,\" header"); };
    const platform::ReadOnlyFile file(path.c_str());
    if (!file.isOpen()) return systemFailure("open");
    platform::FileStamp stamp;
    if (!file.stamp(stamp, cache.settleMs())) return systemFailure("read");
    if (stamp.size == 0) return fail(pathText(path) + ": the file is empty");
    if (const auto index = cache.find(path, stamp)) {
        if (!index->hasHeaderText) return notData();
        return readIndexed(file, *index, record, start, count);
    }

    // One pass over the file builds its index and takes the wanted lines as
    // they pass. The record is touched only once the header text was seen,
    // as a file without it leaves the record alone; should a wanted line come
    // before that text (never in a file the instrument wrote), the lines are
    // taken afterwards through the new index.
    auto built = std::make_shared<DataFileIndex>();
    built->stamp = stamp;
    const bool keep = stamp.settled;
    std::optional<ScanReading> reading;
    bool deferred = false;
    bool stopped = false;
    FileLines lines(file);
    std::string_view line;
    std::uint64_t offset = 0;
    std::int64_t i = 0; // the data line's number, the header being 0
    while (lines.next(line, offset)) {
        if (!isDataLine(line)) continue;
        if (!built->hasHeaderText) built->hasHeaderText = holdsHeaderText(line);
        if (i % DataFileIndex::kStride == 0) built->marks.push_back(offset);
        if (built->hasHeaderText && !deferred) {
            if (!reading) {
                record.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
                reading.emplace(start, count, record);
            }
            if (reading->wants(i)) {
                reading->take(line);
            } else if (!keep && reading->continuation() && reading->doneAt(i)) {
                // A continuation needs no line count, and an index that will
                // not be kept need not be finished.
                stopped = true;
                break;
            }
        } else if (i >= 1) {
            deferred = true;
        }
        ++i;
    }
    if (lines.failed()) return systemFailure("read");
    if (stopped) return scansOrStatus(reading->finish(i));
    if (!built->hasHeaderText) built->hasHeaderText = holdsHeaderText(lines.rest());
    built->dataLines = i;
    if (keep) cache.store(path, built);
    if (!built->hasHeaderText) return notData();
    if (deferred) return readIndexed(file, *built, record, start, count);
    if (!reading) {
        record.entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        reading.emplace(start, count, record);
    }
    return scansOrStatus(reading->finish(i));
}

} // namespace korda32ex::logdata
