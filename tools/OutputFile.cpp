#include "OutputFile.h"

#include "ConfigJson.h"
#include "Output.h"

#include <cerrno>
#include <cstring>

namespace korda::tool {

std::FILE* OutputFile::open() {
    if (path_.empty()) return stdout;
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) message("cannot write " + path_ + ": " + std::strerror(errno));
    return file_;
}

bool OutputFile::toTerminal() const {
    return path_.empty() && Progress::outputIsTerminal();
}

bool OutputFile::finish() {
    bool ok = true;
    if (file_) {
        ok = std::fclose(file_) == 0;
        file_ = nullptr;
    } else if (path_.empty()) {
        ok = std::fflush(stdout) == 0;
    }
    if (!ok) message("cannot write " + (path_.empty() ? std::string("the output") : path_));
    return ok;
}

int writeJson(const VmrInstConfig& config, const std::string& path) {
    OutputFile out(path);
    std::FILE* f = out.open();
    if (!f) return kExitFailure;
    const std::string text = json::write(configToJson(config));
    std::fwrite(text.data(), 1, text.size(), f);
    return out.finish() ? kExitOk : kExitFailure;
}

} // namespace korda::tool
