#include "Json.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_map>

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
    v.data_ = std::to_string(n);
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
    v.data_ = std::string(buffer, r.ptr);
    return v;
}

Value Value::numberLiteral(std::string text) {
    Value v;
    v.type_ = Type::Number;
    v.data_ = std::move(text);
    return v;
}

Value Value::string(std::string s) {
    Value v;
    v.type_ = Type::String;
    v.data_ = std::move(s);
    return v;
}

Value Value::array() {
    Value v;
    v.type_ = Type::Array;
    v.data_ = std::vector<Value>();
    return v;
}

Value Value::object() {
    Value v;
    v.type_ = Type::Object;
    v.data_ = std::vector<Member>();
    return v;
}

const std::vector<Value>& Value::items() const {
    static const std::vector<Value> kNone;
    const auto* items = std::get_if<std::vector<Value>>(&data_);
    return items ? *items : kNone;
}

const std::vector<Value::Member>& Value::members() const {
    static const std::vector<Member> kNone;
    const auto* members = std::get_if<std::vector<Member>>(&data_);
    return members ? *members : kNone;
}

const std::string& Value::text() const {
    static const std::string kNone;
    const auto* text = std::get_if<std::string>(&data_);
    return text ? *text : kNone;
}

std::optional<std::int64_t> Value::asInteger() const {
    if (type_ != Type::Number) return std::nullopt;
    const std::string& t = text();
    std::int64_t n = 0;
    const char* end = t.data() + t.size();
    const auto r = std::from_chars(t.data(), end, n);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return n;
}

std::optional<double> Value::asReal() const {
    const std::string& t = text();
    if (type_ == Type::String) {
        if (t == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (t == "Infinity") return std::numeric_limits<double>::infinity();
        if (t == "-Infinity") return -std::numeric_limits<double>::infinity();
        std::uint64_t bits = 0;
        if (t.size() == 23 && t.rfind("NaN(0x", 0) == 0 && t.back() == ')') {
            const char* first = t.data() + 6;
            const auto r = std::from_chars(first, first + 16, bits, 16);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            if (r.ec == std::errc() && r.ptr == first + 16 && std::isnan(d)) return d;
        }
        return std::nullopt;
    }
    if (type_ != Type::Number) return std::nullopt;
    // Out of range (beyond the largest double, or too small to be told from
    // zero) is no number.
    double d = 0;
    const char* end = t.data() + t.size();
    const auto r = std::from_chars(t.data(), end, d);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return d;
}

Value& Value::push(Value v) {
    if (!std::holds_alternative<std::vector<Value>>(data_)) data_ = std::vector<Value>();
    auto& items = std::get<std::vector<Value>>(data_);
    items.push_back(std::move(v));
    return items.back();
}

Value& Value::set(std::string key, Value v) {
    if (!std::holds_alternative<std::vector<Member>>(data_)) data_ = std::vector<Member>();
    auto& members = std::get<std::vector<Member>>(data_);
    members.emplace_back(std::move(key), std::move(v));
    return members.back().second;
}

const Value* Value::find(const std::string& key) const {
    for (const auto& m : members())
        if (m.first == key) return &m.second;
    return nullptr;
}

namespace {

// The length of the UTF-8 sequence at s[i], or 0 when it is not a valid one:
// no overlong form, nothing above U+10FFFF, and a surrogate code only when
// surrogates are allowed.
std::size_t utf8Length(const std::string& s, std::size_t i, bool surrogates) {
    const auto at = [&](std::size_t k) {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
    };
    const unsigned b0 = at(0);
    std::size_t n = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's range
    if (b0 < 0x80 && i < s.size()) return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) low = 0xA0; // overlong
        if (b0 == 0xED && !surrogates) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) low = 0x90;  // overlong
        if (b0 == 0xF4) high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (at(1) < low || at(1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((at(k) & 0xC0) != 0x80) return 0;
    return n;
}

class Parser {
  public:
    explicit Parser(const std::string& text) : s_(text) {}

    Value document() {
        if (s_.size() > kMaxDocumentBytes) throw Error("the document is larger than 16 MiB");
        Value v = value(0);
        skipBlanks();
        if (pos_ != s_.size()) fail("unexpected text after the document");
        return v;
    }

  private:
    // The place counts lines, and characters within the line.
    [[noreturn]] void fail(const std::string& what, std::size_t at) const {
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        throw Error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                    what);
    }
    [[noreturn]] void fail(const std::string& what) const { fail(what, pos_); }

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

    // depth: the number of arrays and objects around the value.
    Value value(int depth) {
        skipBlanks();
        if (pos_ >= s_.size()) fail("unexpected end of the document");
        const char c = s_[pos_];
        if (c == '{' || c == '[') {
            if (depth >= kMaxDepth) fail("nested too deeply");
            return c == '{' ? objectValue(depth + 1) : arrayValue(depth + 1);
        }
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
        if (c > ' ' && c < 0x7F) fail(std::string("unexpected character '") + c + "'");
        char text[32];
        std::snprintf(text, sizeof text, "unexpected byte 0x%02X", static_cast<unsigned char>(c));
        fail(text);
    }

    Value objectValue(int depth) {
        ++pos_;
        Value v = Value::object();
        if (take('}')) return v;
        // A few names are compared one by one; past that, by their hashes.
        constexpr std::size_t kFew = 16;
        std::unordered_multimap<std::size_t, std::size_t> byHash;
        do {
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] != '"') fail("expected a member name in quotes");
            std::string key = stringText();
            const auto& members = v.members();
            const std::size_t hash = std::hash<std::string>{}(key);
            bool twice = false;
            if (members.size() < kFew) {
                for (const auto& m : members)
                    twice = twice || m.first == key;
            } else {
                if (byHash.empty())
                    for (std::size_t i = 0; i < members.size(); ++i)
                        byHash.emplace(std::hash<std::string>{}(members[i].first), i);
                const auto [first, last] = byHash.equal_range(hash);
                for (auto it = first; it != last && !twice; ++it)
                    twice = members[it->second].first == key;
                byHash.emplace(hash, members.size());
            }
            if (twice) fail("member " + quoted(key) + " given twice");
            if (!take(':')) fail("expected ':' after a member name");
            v.set(std::move(key), value(depth));
        } while (take(','));
        if (!take('}')) fail("expected ',' or '}'");
        return v;
    }

    Value arrayValue(int depth) {
        ++pos_;
        Value v = Value::array();
        if (take(']')) return v;
        do {
            v.push(value(depth));
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

    // Four hex digits at pos_ (the escape starts at at).
    unsigned hex4(std::size_t at) {
        if (s_.size() - pos_ < 4) fail("incomplete \\u escape", at);
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
                fail("invalid \\u escape", at);
        }
        return v;
    }

    std::string stringText() {
        ++pos_; // opening quote
        std::string out;
        while (true) {
            // A run of plain characters at once.
            std::size_t end = pos_;
            while (end < s_.size()) {
                const auto c = static_cast<unsigned char>(s_[end]);
                if (c < 0x20 || c == '"' || c == '\\' || c >= 0x80) break;
                ++end;
            }
            out.append(s_, pos_, end - pos_);
            pos_ = end;
            if (pos_ >= s_.size()) fail("unterminated string");
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20) fail("control character in a string");
            if (c >= 0x80) {
                const std::size_t n = utf8Length(s_, pos_, false);
                if (n == 0) fail("the text is not valid UTF-8");
                out.append(s_, pos_, n);
                pos_ += n;
                continue;
            }
            const std::size_t at = pos_++; // the backslash
            if (pos_ >= s_.size()) fail("unterminated string");
            switch (s_[pos_++]) {
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
                std::uint32_t cp = hex4(at);
                // A high surrogate followed by an escaped low one is one
                // character; a lone surrogate keeps its own code.
                if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
                    const std::size_t save = pos_;
                    pos_ += 2;
                    const unsigned low = hex4(save);
                    if (low >= 0xDC00 && low < 0xE000)
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    else
                        pos_ = save;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                fail("invalid escape in a string", at);
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
        // C1 control characters (U+0080 to U+009F) as escapes too.
        if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0 &&
            static_cast<unsigned char>(s[i + 1]) >= 0x80) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04X", static_cast<unsigned char>(s[i + 1]));
            out += esc;
            ++i;
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

std::optional<std::uint32_t> nextCodePoint(const std::string& text, std::size_t& i) {
    const std::size_t n = utf8Length(text, i, true);
    if (n == 0) return std::nullopt;
    static const unsigned kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t cp = static_cast<unsigned char>(text[i]) & kLeadBits[n];
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    i += n;
    return cp;
}

std::string quoted(const std::string& text) {
    std::string out;
    writeString(out, text);
    return out;
}

bool readDocument(const std::string& path, std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    text.clear();
    char buffer[1 << 16];
    bool ok = true;
    while (text.size() <= kMaxDocumentBytes) {
        const std::size_t want = std::min(sizeof buffer, kMaxDocumentBytes + 1 - text.size());
        const std::size_t got = std::fread(buffer, 1, want, f);
        text.append(buffer, got);
        if (got < want) {
            ok = !std::ferror(f);
            break;
        }
    }
    const int error = errno;
    std::fclose(f);
    errno = error;
    return ok;
}

std::string write(const Value& value) {
    std::string out;
    writeValue(out, value, 0);
    out.push_back('\n');
    return out;
}

} // namespace korda::tool::json
