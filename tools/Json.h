// A small JSON reader and writer for the records korda reads and writes.
// Numbers keep the text they were read or written with, so an integer or a
// double travels through a document without any rounding.
//
// The reader takes documents from anywhere, so it keeps to strict rules: at
// most 16 MiB, at most 64 levels of arrays and objects, no member name given
// twice in one object, only valid UTF-8, and no NaN or Infinity (JSON has
// none). A number out of the range of a double is kept as written and
// refused by whoever reads it as a number. Each rule costs linear time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace korda::tool::json {

// A document that is not valid JSON, or a value of the wrong kind; the text
// names where (line and column) or what.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Value {
  public:
    enum class Type { Null, Bool, Number, String, Array, Object };
    using Member = std::pair<std::string, Value>;

    Value() = default;
    static Value boolean(bool b);
    static Value integer(std::int64_t n);
    // Shortest text that reads back as the same double; NaN and the
    // infinities, which JSON cannot hold, become the strings "NaN",
    // "Infinity" and "-Infinity" (a NaN other than the usual one keeps its
    // bits: "NaN(0x7FF4000000000001)").
    static Value real(double d);
    // A number from its JSON literal, kept as written.
    static Value numberLiteral(std::string text);
    static Value string(std::string s);
    static Value array();
    static Value object();

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isString() const { return type_ == Type::String; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isArray() const { return type_ == Type::Array; }
    bool isObject() const { return type_ == Type::Object; }
    bool isBool() const { return type_ == Type::Bool; }

    // The text of a string, or the literal of a number.
    const std::string& text() const;
    bool asBool() const { return flag_; }
    // The number as a whole number, when it is one (no fraction, no exponent).
    std::optional<std::int64_t> asInteger() const;
    // The number (or one of the strings real() writes for NaN and infinities).
    std::optional<double> asReal() const;

    const std::vector<Value>& items() const;
    const std::vector<Member>& members() const;
    // Appends to an array; sets (appends) a member of an object.
    Value& push(Value v);
    Value& set(std::string key, Value v);
    // The member of that name, or null when absent.
    const Value* find(const std::string& key) const;

  private:
    // One of these at a time: a text (of a string or a number), the items of
    // an array or the members of an object.
    using Data = std::variant<std::monostate, std::string, std::vector<Value>, std::vector<Member>>;
    Type type_ = Type::Null;
    bool flag_ = false;
    Data data_;
};

// The largest document the reader takes.
inline constexpr std::size_t kMaxDocumentBytes = 16u << 20;
// The deepest nesting of arrays and objects it takes.
inline constexpr int kMaxDepth = 64;

// Parses a whole document. Strings come out as UTF-8; a \u escape of a lone
// surrogate keeps its code unit (encoded as UTF-8 would encode it), so text
// that is not valid UTF-16 survives a round trip. The document itself must
// be valid UTF-8 (no surrogate, overlong or out-of-range sequence).
Value parse(const std::string& text);

// Reads a file for parse(): false (errno set) when it cannot be read. Reading
// stops one byte past kMaxDocumentBytes, so a device that never ends (or a
// huge file) costs no more than that and parse() refuses it.
bool readDocument(const std::string& path, std::string& text);

// The code point of the UTF-8 sequence at text[i], moving i past it;
// nothing when the sequence is not valid UTF-8. A surrogate code counts as
// valid here: it is how parse() keeps a lone \u escape.
std::optional<std::uint32_t> nextCodePoint(const std::string& text, std::size_t& i);

// A text in quotes as the writer writes it, for messages: control
// characters (C0, DEL and C1) and lone surrogates as \u escapes, so a name
// taken from a document cannot drive the terminal.
std::string quoted(const std::string& text);

// Appends a code point as UTF-8 (a surrogate code as UTF-8 would encode it).
void appendUtf8(std::string& out, std::uint32_t codePoint);

// Writes a value with two-space indentation; arrays of plain values stay on
// one line. Ends with a line feed.
std::string write(const Value& value);

} // namespace korda::tool::json
