// A small JSON reader and writer for the records korda reads and writes.
// Numbers keep the text they were read or written with, so an integer or a
// double travels through a document without any rounding.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
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
    const std::string& text() const { return text_; }
    bool asBool() const { return flag_; }
    // The number as a whole number, when it is one (no fraction, no exponent).
    std::optional<std::int64_t> asInteger() const;
    // The number (or one of the strings real() writes for NaN and infinities).
    std::optional<double> asReal() const;

    const std::vector<Value>& items() const { return items_; }
    const std::vector<Member>& members() const { return members_; }
    // Appends to an array; sets (appends) a member of an object.
    Value& push(Value v);
    Value& set(std::string key, Value v);
    // The member of that name, or null when absent.
    const Value* find(const std::string& key) const;

  private:
    Type type_ = Type::Null;
    bool flag_ = false;
    std::string text_;
    std::vector<Value> items_;
    std::vector<Member> members_;
};

// Parses a whole document. Strings come out as UTF-8; a \u escape of a lone
// surrogate keeps its code unit (encoded as UTF-8 would encode it), so text
// that is not valid UTF-16 survives a round trip.
Value parse(const std::string& text);

// Appends a code point as UTF-8 (a surrogate code as UTF-8 would encode it).
void appendUtf8(std::string& out, std::uint32_t codePoint);

// Writes a value with two-space indentation; arrays of plain values stay on
// one line. Ends with a line feed.
std::string write(const Value& value);

} // namespace korda::tool::json
