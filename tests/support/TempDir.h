// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace korda::test {

class TempDir {
  public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("korda-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a file in the directory.
    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    // The directory as a wide text ending in the given separator.
    std::wstring wide(wchar_t separator = L'/') const { return path_.wstring() + separator; }
    std::wstring wideFile(const std::string& name) const { return file(name).wstring(); }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream f(file(name), std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string read(const std::string& name) const {
        std::ifstream f(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }

  private:
    std::filesystem::path path_;
};

} // namespace korda::test
