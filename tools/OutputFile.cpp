#include "OutputFile.h"

#include "ConfigJson.h"
#include "Signals.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#define KORDA_GETPID _getpid
#else
#include <unistd.h>
#define KORDA_GETPID getpid
#endif
#if !defined(O_BINARY)
#define O_BINARY 0
#endif

namespace korda::tool {

namespace fs = std::filesystem;

namespace {
bool standardOutputFailed = false;
}

OutputFile::OutputFile(std::string path, bool appendInPlace)
    : path_(std::move(path)), appendInPlace_(appendInPlace),
      failed_(path_.empty() ? standardOutputFailed : ownFailed_) {}

OutputFile::~OutputFile() {
    if (file_ != nullptr && file_ != stdout) std::fclose(file_);
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        removeOnSignal("");
    }
}

std::string OutputFile::name() const {
    return path_.empty() ? "standard output" : path_;
}

bool OutputFile::fail(int error) {
    if (!failed_) {
        failed_ = true;
        message("cannot write " + name() + ": " + std::strerror(error));
        if (error == EPIPE) requestStop();
    }
    return false;
}

bool OutputFile::open() {
    if (path_.empty()) {
        file_ = stdout;
        return true;
    }
    std::error_code ec;
    fs::path target = path_;
    const auto status = fs::status(target, ec);
    if (appendInPlace_) {
        file_ = std::fopen(path_.c_str(), "ab");
        return file_ != nullptr || fail(errno);
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // A device or a FIFO: there is nothing to replace.
        file_ = std::fopen(path_.c_str(), "wb");
        return file_ != nullptr || fail(errno);
    }
    // Beside the file a link points to, so that the rename keeps the link.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    for (int attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
        const std::string candidate = target.string() + ".korda-" + std::to_string(KORDA_GETPID()) +
                                      "-" + std::to_string(attempt) + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(errno);
        }
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            const int error = errno;
            ::close(fd);
            std::remove(candidate.c_str());
            return fail(error);
        }
        temporary_ = candidate;
        removeOnSignal(temporary_);
        // The file that replaces another keeps the other's permissions.
        if (fs::is_regular_file(status)) fs::permissions(temporary_, status.permissions(), ec);
    }
    if (file_ == nullptr) return fail(EEXIST);
    target_ = target.string();
    return true;
}

bool OutputFile::write(std::string_view text) {
    if (failed_ || file_ == nullptr) return false;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) return fail(errno);
    return true;
}

bool OutputFile::flush() {
    if (failed_ || file_ == nullptr) return !failed_;
    if (std::fflush(file_) != 0) return fail(errno);
    return true;
}

bool OutputFile::finish() {
    if (path_.empty()) return flush();
    if (finished_) return !failed_;
    finished_ = true;
    if (file_ == nullptr) return !failed_;
    bool ok = flush();
    if (file_ != stdout) {
        if (std::fclose(file_) != 0 && ok) ok = fail(errno);
        file_ = nullptr;
    }
    if (!ok || temporary_.empty()) return ok;
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) {
        if (!failed_) {
            failed_ = true;
            message("cannot write " + name() + ": " + ec.message());
        }
        return false;
    }
    temporary_.clear();
    removeOnSignal("");
    return true;
}

bool OutputFile::toTerminal() const {
    return path_.empty() && Progress::outputIsTerminal();
}

OutputFile& standardOutput() {
    static OutputFile out("");
    out.open();
    return out;
}

bool say(const std::string& text) {
    return standardOutput().write(text);
}

bool sayf(const char* format, ...) {
    char small[512];
    std::va_list a;
    va_start(a, format);
    const int n = std::vsnprintf(small, sizeof small, format, a);
    va_end(a);
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < sizeof small) return say(std::string(small, small + n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    va_start(a, format);
    std::vsnprintf(text.data(), text.size(), format, a);
    va_end(a);
    text.pop_back();
    return say(text);
}

bool CsvWriter::header(const std::vector<Column>& columns) {
    std::string line = "time";
    for (const auto& c : columns) {
        std::string cell = c.source.empty() ? std::string() : c.source + " ";
        cell += std::to_string(c.channel);
        if (!c.name.empty()) cell += " " + c.name;
        if (!c.unit.empty()) cell += " (" + c.unit + ")";
        line += ',';
        line += csvCell(cell);
    }
    line += "\n";
    return out_.write(line);
}

bool CsvWriter::rows(const ScanRecord& record) {
    const int readings = (record.entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
    for (int n = 0; n < record.scanCount; ++n) {
        const ScanEntry* e = DLXVMR_SCAN_ENTRY(&record, n);
        row(isoTime(*e), e->readings, readings);
    }
    return flush();
}

void CsvWriter::row(const std::string& time, const float* readings, int count) {
    text_ += time;
    for (int i = 0; i < count; ++i) {
        text_ += ',';
        text_ += readingText(readings[i]);
    }
    text_ += '\n';
}

bool CsvWriter::flush() {
    const bool ok = out_.write(text_) && out_.flush();
    text_.clear();
    return ok;
}

int writeJson(const VmrInstConfig& config, const std::string& path) {
    OutputFile out(path);
    if (!out.open()) return kExitFailure;
    const std::string text = json::write(configToJson(config));
    return out.write(text) && out.finish() ? kExitOk : kExitFailure;
}

} // namespace korda::tool
