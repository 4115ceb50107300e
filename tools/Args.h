// The words of a command line and the helpers that read them: numbers,
// bytes, output files, input files.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace korda::tool {

// A command line that cannot be run: the text says what is wrong.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Words that are right but name an input that is not: a file that cannot be
// read (exit 1), or whose content is wrong (exit 2). Found before anything
// is sent; no usage text follows.
class InputError : public std::runtime_error {
  public:
    InputError(const std::string& what, int exitCode)
        : std::runtime_error(what), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

// The arguments of the command line, taken in order.
class Args {
  public:
    explicit Args(const std::vector<std::string>& a) : a_(a) {}
    bool more() const { return i_ < a_.size(); }
    const std::string& peek() const { return a_[i_]; }
    std::string take() { return a_[i_++]; }
    // The value after an option or a command; what names it when missing.
    std::string value(const std::string& what);
    // The next argument, unless it is a command name or an option.
    bool hasOperand() const;
    // Takes the next argument when it is word.
    bool takeIf(const std::string& word);

  private:
    const std::vector<std::string>& a_;
    std::size_t i_ = 0;
};

// A whole number from lowest to highest; what names it in the message.
long long number(const std::string& text, long long lowest, long long highest,
                 const std::string& what);
// A byte: decimal, or hexadecimal after 0x.
int byteArgument(const std::string& text, const std::string& what);
// "-o FILE" when it comes next; empty for standard output.
std::string optionalOutput(Args& args);

// A path in the wide form of the library's file functions.
std::wstring widePath(const std::string& path);
// A whole file; throws InputError naming the path and the system's reason.
std::string readFile(const std::string& path);

} // namespace korda::tool
