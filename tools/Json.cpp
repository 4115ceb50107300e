#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace korda::tool::json {

Value Value::boolean(bool b) {
    Value v;
    v.type_ = Type::Bool;
    v.flag_ = b;
    return v;
}

Value Value::integer(std::int64_t n) {
    Value v;
    v.type_ = Type::Number;
    v.text_ = std::to_string(n);
    return v;
}

Value Value::real(double d) {
    if (std::isnan(d)) {
        // The usual quiet NaN is "NaN"; any other keeps its bits.
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        if (bits == 0x7FF8000000000000ULL) return string("NaN");
        char text[32];
        std::snprintf(text, sizeof text, "NaN(0x%016llX)", static_cast<unsigned long long>(bits));
        return string(text);
    }
    if (std::isinf(d)) return string(d > 0 ? "Infinity" : "-Infinity");
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
    Value v;
    v.type_ = Type::Number;
    v.text_.assign(buffer, r.ptr);
    return v;
}

Value Value::numberLiteral(std::string text) {
    Value v;
    v.type_ = Type::Number;
    v.text_ = std::move(text);
    return v;
}

Value Value::string(std::string s) {
    Value v;
    v.type_ = Type::String;
    v.text_ = std::move(s);
    return v;
}

Value Value::array() {
    Value v;
    v.type_ = Type::Array;
    return v;
}

Value Value::object() {
    Value v;
    v.type_ = Type::Object;
    return v;
}

std::optional<std::int64_t> Value::asInteger() const {
    if (type_ != Type::Number) return std::nullopt;
    std::int64_t n = 0;
    const char* end = text_.data() + text_.size();
    const auto r = std::from_chars(text_.data(), end, n);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return n;
}

std::optional<double> Value::asReal() const {
    if (type_ == Type::String) {
        if (text_ == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (text_ == "Infinity") return std::numeric_limits<double>::infinity();
        if (text_ == "-Infinity") return -std::numeric_limits<double>::infinity();
        std::uint64_t bits = 0;
        if (text_.size() == 23 && text_.rfind("NaN(0x", 0) == 0 && text_.back() == ')') {
            const char* first = text_.data() + 6;
            const auto r = std::from_chars(first, first + 16, bits, 16);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            if (r.ec == std::errc() && r.ptr == first + 16 && std::isnan(d)) return d;
        }
        return std::nullopt;
    }
    if (type_ != Type::Number) return std::nullopt;
    double d = 0;
    const char* end = text_.data() + text_.size();
    const auto r = std::from_chars(text_.data(), end, d);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return d;
}

Value& Value::push(Value v) {
    items_.push_back(std::move(v));
    return items_.back();
}

Value& Value::set(std::string key, Value v) {
    members_.emplace_back(std::move(key), std::move(v));
    return members_.back().second;
}

const Value* Value::find(const std::string& key) const {
    for (const auto& m : members_)
        if (m.first == key) return &m.second;
    return nullptr;
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
  public:
    explicit Parser(const std::string& text) : s_(text) {}

    Value document() {
        Value v = value(0);
        skipBlanks();
        if (pos_ != s_.size()) fail("unexpected text after the document");
        return v;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw Error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                    what);
    }

    void skipBlanks() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }

    bool take(char c) {
        skipBlanks();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void expectWord(const char* word) {
        for (const char* p = word; *p; ++p, ++pos_)
            if (pos_ >= s_.size() || s_[pos_] != *p) fail("invalid value");
    }

    Value value(int depth) {
        if (depth > kMaxDepth) fail("nested too deeply");
        skipBlanks();
        if (pos_ >= s_.size()) fail("unexpected end of the document");
        const char c = s_[pos_];
        if (c == '{') return objectValue(depth);
        if (c == '[') return arrayValue(depth);
        if (c == '"') return Value::string(stringText());
        if (c == 't') {
            expectWord("true");
            return Value::boolean(true);
        }
        if (c == 'f') {
            expectWord("false");
            return Value::boolean(false);
        }
        if (c == 'n') {
            expectWord("null");
            return Value();
        }
        if (c == '-' || (c >= '0' && c <= '9')) return number();
        fail(std::string("unexpected character '") + c + "'");
    }

    Value objectValue(int depth) {
        ++pos_;
        Value v = Value::object();
        if (take('}')) return v;
        do {
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] != '"') fail("expected a member name in quotes");
            std::string key = stringText();
            if (v.find(key) != nullptr) fail("member \"" + key + "\" given twice");
            if (!take(':')) fail("expected ':' after a member name");
            v.set(std::move(key), value(depth + 1));
        } while (take(','));
        if (!take('}')) fail("expected ',' or '}'");
        return v;
    }

    Value arrayValue(int depth) {
        ++pos_;
        Value v = Value::array();
        if (take(']')) return v;
        do {
            v.push(value(depth + 1));
        } while (take(','));
        if (!take(']')) fail("expected ',' or ']'");
        return v;
    }

    Value number() {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
                ++pos_;
            return pos_ > from;
        };
        if (s_[pos_] == '-') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '0')
            ++pos_;
        else if (!digits())
            fail("invalid number");
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            if (!digits()) fail("invalid number");
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (!digits()) fail("invalid number");
        }
        return Value::numberLiteral(s_.substr(start, pos_ - start));
    }

    unsigned hex4() {
        if (s_.size() - pos_ < 4) fail("incomplete \\u escape");
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                fail("invalid \\u escape");
        }
        return v;
    }

    std::string stringText() {
        ++pos_; // opening quote
        std::string out;
        while (true) {
            if (pos_ >= s_.size()) fail("unterminated string");
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= s_.size()) fail("unterminated string");
            const char e = s_[pos_++];
            switch (e) {
            case '"':
                out.push_back('"');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case '/':
                out.push_back('/');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                std::uint32_t cp = hex4();
                // A high surrogate followed by an escaped low one is one
                // character; a lone surrogate keeps its own code.
                if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
                    const std::size_t save = pos_;
                    pos_ += 2;
                    const unsigned low = hex4();
                    if (low >= 0xDC00 && low < 0xE000)
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    else
                        pos_ = save;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                fail("invalid escape in a string");
            }
        }
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

void writeString(std::string& out, const std::string& s) {
    out.push_back('"');
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        // A surrogate code kept in the text (ED A0..BF xx) goes out as its
        // escape, so the document stays valid UTF-8.
        if (c == 0xED && i + 2 < s.size() &&
            (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0xA0) {
            const unsigned cp = 0xD000u | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04X", cp);
            out += esc;
            i += 2;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04X", c);
                out += esc;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out.push_back('"');
}

bool isPlain(const Value& v) {
    return !v.isArray() && !v.isObject();
}

void writeValue(std::string& out, const Value& v, int indent) {
    switch (v.type()) {
    case Value::Type::Null:
        out += "null";
        return;
    case Value::Type::Bool:
        out += v.asBool() ? "true" : "false";
        return;
    case Value::Type::Number:
        out += v.text();
        return;
    case Value::Type::String:
        writeString(out, v.text());
        return;
    case Value::Type::Array: {
        if (v.items().empty()) {
            out += "[]";
            return;
        }
        bool plain = true;
        for (const auto& item : v.items())
            plain = plain && isPlain(item);
        if (plain) {
            out.push_back('[');
            for (std::size_t i = 0; i < v.items().size(); ++i) {
                if (i) out += ", ";
                writeValue(out, v.items()[i], indent);
            }
            out.push_back(']');
            return;
        }
        out += "[\n";
        for (std::size_t i = 0; i < v.items().size(); ++i) {
            out.append(static_cast<std::size_t>(indent + 2), ' ');
            writeValue(out, v.items()[i], indent + 2);
            out += i + 1 < v.items().size() ? ",\n" : "\n";
        }
        out.append(static_cast<std::size_t>(indent), ' ');
        out.push_back(']');
        return;
    }
    case Value::Type::Object: {
        if (v.members().empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        for (std::size_t i = 0; i < v.members().size(); ++i) {
            out.append(static_cast<std::size_t>(indent + 2), ' ');
            writeString(out, v.members()[i].first);
            out += ": ";
            writeValue(out, v.members()[i].second, indent + 2);
            out += i + 1 < v.members().size() ? ",\n" : "\n";
        }
        out.append(static_cast<std::size_t>(indent), ' ');
        out.push_back('}');
        return;
    }
    }
}

} // namespace

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

Value parse(const std::string& text) {
    return Parser(text).document();
}

std::string write(const Value& value) {
    std::string out;
    writeValue(out, value, 0);
    out.push_back('\n');
    return out;
}

} // namespace korda::tool::json
