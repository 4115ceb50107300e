// Reading the first data file of a recording directory (what
// dlxVmrPCCardScansFileGet returns), with an index of its lines kept while the
// file is unchanged, so that reading a large file in portions costs each call
// what its portion costs.
//
// The index holds the number of data lines, whether the file holds the header
// text, and the offset of every 64th data line: a few kB per 100 MB. It is
// used again only for the same path whose stamp (size, modification and
// status-change times, volume and file number) is unchanged, and it is kept
// only for a file whose times lie at least kSettleMs in the past, so that a
// later rewrite cannot come out with the same times even on a file system
// with a coarse clock (FAT keeps times to 2 s). A few files are kept, the one
// used longest ago dropped first; the cache is safe to use from any thread.
#pragma once

#include "korda32ext.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korda32ex::logdata {

struct DataFileIndex {
    static constexpr std::int64_t kStride = 64; // data lines from one mark to the next
    platform::FileStamp stamp;
    bool hasHeaderText = false;
    std::int64_t dataLines = 0;       // the header included
    std::vector<std::uint64_t> marks; // offset of data line k x kStride
};

class DataFileIndexCache {
  public:
    static constexpr std::uint32_t kSettleMs = 2500;
    static constexpr std::size_t kFiles = 8;

    explicit DataFileIndexCache(std::uint32_t settleMs = kSettleMs) : settleMs_(settleMs) {}
    // The process's cache.
    static DataFileIndexCache& shared();

    std::uint32_t settleMs() const { return settleMs_; }
    std::shared_ptr<const DataFileIndex> find(const std::wstring& path,
                                              const platform::FileStamp& stamp);
    void store(const std::wstring& path, std::shared_ptr<const DataFileIndex> index);

  private:
    struct Entry {
        std::wstring path;
        std::shared_ptr<const DataFileIndex> index;
        std::uint64_t lastUse = 0;
    };
    const std::uint32_t settleMs_;
    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t uses_ = 0;
};

// dlxVmrPCCardScansFileGet after its argument checks: reads the scans of the
// data file at path into the record. Returns the number of scans stored, -2022
// when none was stored or a line cannot be taken apart, -2034 when the file is
// missing, empty or not a data file. The results are those of readDataText on
// the whole file's text. On a failure other than -2022, failure (when given)
// receives why: the path with the system's reason, or what the file lacks.
int readDataFile(const std::wstring& path, int start, int count, ScanRecord& record,
                 DataFileIndexCache& cache = DataFileIndexCache::shared(),
                 std::string* failure = nullptr);

} // namespace korda32ex::logdata
