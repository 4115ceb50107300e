#include "CsvStore.h"

#include "Channels.h"
#include "Output.h"
#include "Times.h"

#include <cerrno>
#include <cstring>

namespace korda::tool::store {

namespace {

class CsvStore final : public Store {
  public:
    // owned: the stream is closed with the store.
    CsvStore(std::FILE* out, std::string path, bool owned, std::int64_t rows)
        : out_(out), path_(std::move(path)), owned_(owned), rows_(rows), headerWritten_(rows > 0),
          writer_(out) {}
    ~CsvStore() override {
        if (owned_) std::fclose(out_);
    }

    int schemaVersion() const override { return 1; }

    RunStart beginRun(const RunInfo& run) override { return {1, rows_ > 0, run.startedMs}; }

    InstrumentStart instrument(const InstrumentInfo& info) override {
        if (instruments_ > 0 && info.address != address_)
            throw StoreError(path_ + ": a CSV file holds the scans of one instrument", false);
        ++instruments_;
        address_ = info.address;
        channels_ = info.channels;
        return {1, rows_ > 0, rows_, {}};
    }

    void appendScans(std::int64_t, const std::vector<ScanRow>& scans) override {
        if (scans.empty()) return;
        if (!headerWritten_) {
            writer_.header(columns(static_cast<int>(scans.front().readings.size())));
            headerWritten_ = true;
        }
        for (const ScanRow& r : scans)
            writer_.row(isoText(r.timeMs, r.utcOffsetMinutes, false), r.readings.data(),
                        static_cast<int>(r.readings.size()));
        if (!writer_.flush())
            throw StoreError("cannot write " + path_ + ": " + std::strerror(errno), false);
        rows_ += static_cast<std::int64_t>(scans.size());
    }

    // A CSV file has no place for them: the recorder reports gaps as it goes.
    void gap(std::int64_t, const GapEvent&) override {}
    void endRun(const std::string&) override {}

  private:
    // The channels named by the instrument, or columns by position when
    // they do not match the readings.
    std::vector<Column> columns(int readings) const {
        std::vector<int> numbers;
        for (const auto& c : channels_)
            numbers.push_back(c.number);
        std::vector<Column> out = columnsFor(numbers, readings, nullptr);
        if (numbers.size() == out.size())
            for (std::size_t i = 0; i < out.size(); ++i) {
                out[i].name = channels_[i].name;
                out[i].unit = channels_[i].unit;
            }
        return out;
    }

    std::FILE* out_;
    std::string path_;
    bool owned_;
    std::int64_t rows_;
    bool headerWritten_;
    CsvWriter writer_;
    int instruments_ = 0;
    std::string address_;
    std::vector<ChannelInfo> channels_;
};

} // namespace

std::unique_ptr<Store> csvStore(std::FILE* out) {
    return std::make_unique<CsvStore>(out, "the output", false, 0);
}

std::unique_ptr<Store> openCsvStore(const std::string& path) {
    // Rows already there: every line after the header is one scan.
    std::int64_t rows = 0;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        std::int64_t lines = 0;
        bool open = false;
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            for (std::size_t i = 0; i < n; ++i) {
                open = buffer[i] != '\n';
                lines += buffer[i] == '\n';
            }
        std::fclose(in);
        if (open) throw StoreError(path + ": its last line is cut short; not continued", false);
        rows = lines > 0 ? lines - 1 : 0;
    }
    std::FILE* out = std::fopen(path.c_str(), rows > 0 ? "ab" : "wb");
    if (!out) throw StoreError("cannot write " + path + ": " + std::strerror(errno), false);
    return std::make_unique<CsvStore>(out, path, true, rows);
}

} // namespace korda::tool::store
