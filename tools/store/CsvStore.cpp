#include "CsvStore.h"

#include "Channels.h"
#include "OutputFile.h"
#include "Times.h"

#include <cstdio>

namespace korda::tool::store {

namespace {

class CsvStore final : public Store {
  public:
    // owned: the store's own file, finished with the store.
    CsvStore(OutputFile& out, std::unique_ptr<OutputFile> owned, std::int64_t rows)
        : out_(out), owned_(std::move(owned)), rows_(rows), headerWritten_(rows > 0), writer_(out) {
    }
    ~CsvStore() override {
        if (owned_) owned_->finish();
    }

    int schemaVersion() const override { return 1; }

    RunStart beginRun(const RunInfo& run) override { return {1, rows_ > 0, run.startedMs}; }

    InstrumentStart instrument(const InstrumentInfo& info) override {
        if (instruments_ > 0 && info.address != address_)
            throw StoreError(out_.name() + ": a CSV file holds the scans of one instrument", false);
        ++instruments_;
        address_ = info.address;
        channels_ = info.channels;
        return {1, rows_ > 0, rows_, {}};
    }

    void appendScans(std::int64_t, const std::vector<ScanRow>& scans) override {
        if (scans.empty()) return;
        if (!headerWritten_) {
            if (!writer_.header(columns(static_cast<int>(scans.front().readings.size()))))
                throw StoreError("cannot write " + out_.name(), false);
            headerWritten_ = true;
        }
        for (const ScanRow& r : scans)
            writer_.row(isoText(r.timeMs, r.utcOffsetMinutes, true), r.readings.data(),
                        static_cast<int>(r.readings.size()));
        // The output has said why (once); rows half written cannot be taken back.
        if (!writer_.flush()) throw StoreError("cannot write " + out_.name(), false);
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

    OutputFile& out_;
    std::unique_ptr<OutputFile> owned_;
    std::int64_t rows_;
    bool headerWritten_;
    CsvWriter writer_;
    int instruments_ = 0;
    std::string address_;
    std::vector<ChannelInfo> channels_;
};

} // namespace

std::unique_ptr<Store> csvStore(OutputFile& out) {
    return std::make_unique<CsvStore>(out, nullptr, 0);
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
        if (rows == 0) std::remove(path.c_str()); // a header alone is written again
    }
    auto file = std::make_unique<OutputFile>(path, true);
    if (!file->open()) throw StoreError("cannot write " + path, false);
    OutputFile& out = *file;
    return std::make_unique<CsvStore>(out, std::move(file), rows);
}

} // namespace korda::tool::store
