#include "ConfigCheck.h"

#include "Address.h"
#include "ConfigJson.h"
#include "SimHost.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace korda::tool {

namespace {

using json::Value;
using Kind = Finding::Kind;

// The check's own connection number, beside the instrument's (1) and those
// of "list" (2).
constexpr int kCheckBcn = 3;

// The virtual instrument of a check and the library's connection to it.
class Bench {
  public:
    explicit Bench(const CheckTarget& t) : sim_(t.model, t.fittedSlots), model_(t.model) {}
    ~Bench() {
        if (open_) dlxVmrCommClose(kCheckBcn);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    int open() {
        const int port = sim_.port();
        if (port == 0) return DLXVMR_E_CANNOT_OPEN_SOCKET;
        const std::uint8_t loopback[4] = {127, 0, 0, 1};
        int st = dlxVmrCCFsetBCN(kCheckBcn, DLXVMR_INTERFACE_TCPIP, port, loopback, model_);
        if (st == DLXVMR_OK) st = dlxVmrCommOpen(kCheckBcn);
        open_ = st == DLXVMR_OK;
        return st;
    }

  private:
    SimHost sim_;
    int model_;
    bool open_ = false;
};

// ---- The document --------------------------------------------------------

// A channel of a document. The computed channels 501 to 520 share their
// numbers with the channels of a module in slot 5.
struct ChannelId {
    int number = 0;
    bool computed = false;
    auto operator<=>(const ChannelId&) const = default;
};

// The channel a command or a text names by its number.
ChannelId namedChannel(int n) {
    return ChannelId{n, n >= 501 && n < 501 + VMR_COMPUTED_CHANNELS};
}

int numberOf(const Value& channel) {
    const Value* n = channel.isObject() ? channel.find("channel") : nullptr;
    const auto v = n ? n->asInteger() : std::nullopt;
    return v ? static_cast<int>(*v) : 0;
}

std::string indexed(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

// Calls f(id, path, channel) for every channel of a member of a document,
// in its order.
template <class F> void forEachChannelOf(const std::string& key, const Value& v, F&& f) {
    if (key == "channel1") {
        f(ChannelId{1, false}, key, v);
    } else if (key == "computed" && v.isArray()) {
        for (std::size_t i = 0; i < v.items().size(); ++i)
            f(ChannelId{numberOf(v.items()[i]), true}, indexed(key, i), v.items()[i]);
    } else if (key == "modules" && v.isArray()) {
        for (std::size_t i = 0; i < v.items().size(); ++i) {
            const Value* list = v.items()[i].find("channels");
            if (!list || !list->isArray()) continue;
            for (std::size_t j = 0; j < list->items().size(); ++j)
                f(ChannelId{numberOf(list->items()[j]), false},
                  indexed(indexed(key, i) + ".channels", j), list->items()[j]);
        }
    }
}

bool holdsChannels(const std::string& key) {
    return key == "channel1" || key == "computed" || key == "modules";
}

// The channel in a document configToJson wrote; nullptr when it holds
// nothing there.
const Value* writtenChannel(const Value& written, ChannelId id) {
    if (id.number == 1 && !id.computed) return written.find("channel1");
    const Value* list = nullptr;
    if (id.computed) {
        list = written.find("computed");
    } else if (const Value* modules = written.find("modules")) {
        for (const auto& m : modules->items())
            if (const Value* slot = m.find("slot"); slot && slot->asInteger() == id.number / 100)
                list = m.find("channels");
    }
    if (list)
        for (const auto& c : list->items())
            if (numberOf(c) == id.number) return &c;
    return nullptr;
}

// Clears a channel of a record, so that the instrument is not sent it.
void clearChannel(VmrInstConfig& c, ChannelId id) {
    const int n = id.number;
    if (id.computed)
        std::memset(&c.computed[n - 501], 0, sizeof c.computed[0]);
    else if (n == 1)
        std::memset(&c.channel1, 0, sizeof c.channel1);
    else
        std::memset(&c.modules[n / 100 - 1].channels[n % 100 - 1], 0, sizeof(ChannelRecord));
}

// The instrument-level setting that names channel n (a trigger channel);
// empty when none does.
std::string settingNaming(const Value& document, int n) {
    if (n == 0) return {};
    for (const auto& [key, v] : document.members())
        if (key.find("Channel") != std::string::npos && v.asInteger() == n) return key;
    return {};
}

// Sets an instrument-level setting of a record to 0, by its name in the
// document.
void clearSetting(VmrInstConfig& c, const std::string& key) {
    const Value written = configToJson(c);
    Value edited = Value::object();
    for (const auto& [k, v] : written.members())
        edited.set(k, k == key ? Value::integer(0) : v);
    try {
        configFromJson(edited, c);
    } catch (const json::Error&) {
        // A written record always reads back; the record stays as it was.
    }
}

// ---- Values --------------------------------------------------------------

// A value as the document writes it: strings in quotes.
std::string shown(const Value& v) {
    std::string s = json::write(v);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

// A value in running text: strings without quotes.
std::string plain(const Value& v) {
    return v.isString() ? v.text() : shown(v);
}

bool isNoneOrOff(const Value& function) {
    return function.isString() && (function.text() == "NONE" || function.text() == "OFF");
}

std::size_t characters(const std::string& utf8) {
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// True when two numbers agree in six significant digits, as far as the
// instrument's general number format carries them.
bool sameToSixDigits(double a, double b) {
    char x[40], y[40];
    std::snprintf(x, sizeof x, "%.6g", a);
    std::snprintf(y, sizeof y, "%.6g", b);
    return std::strcmp(x, y) == 0;
}

// The channel number named by a rejected command ("CONF:VOLT 10,(@205) =>
// ...": its last channel list, when that holds one channel) or by the
// library's text ("... (channel 105, detail 34)"); 0 when none.
int channelNamed(const std::string& text) {
    const std::string command = text.substr(0, text.find(" => "));
    std::string source;
    std::size_t from = 0;
    std::string ends;
    if (const std::size_t at = command.rfind("(@"); at != std::string::npos) {
        source = command, from = at + 2, ends = ")";
    } else if (const std::size_t named = text.find("(channel "); named != std::string::npos) {
        source = text, from = named + 9, ends = ",)";
    } else {
        return 0;
    }
    std::size_t end = from;
    while (end < source.size() && end - from < 3 && source[end] >= '0' && source[end] <= '9')
        ++end;
    if (end == from || end >= source.size() || ends.find(source[end]) == std::string::npos)
        return 0;
    return std::stoi(source.substr(from, end - from));
}

// What the instrument said of the last failed call: "the instrument rejects
// CMD: TEXT (CODE)" for a rejected command, the library's text otherwise.
std::string refusal(int status) {
    char detail[1024] = {};
    dlxVmrGetLastErrorDetailA(detail, sizeof detail);
    char text[1024] = {};
    dlxVmrGetErrorStringA(status, text, sizeof text);
    const std::string d = detail;
    const std::size_t arrow = d.find(" => ");
    if (arrow != std::string::npos) {
        // The library keeps the opening quotation mark of the instrument's text.
        std::string said = d.substr(arrow + 4);
        if (!said.empty() && said.front() == '"') said.erase(0, 1);
        return "the instrument rejects \"" + d.substr(0, arrow) + "\": " + said + " (" +
               std::to_string(status) + ")";
    }
    // The library's own refusals register a text that names the channel.
    return "the library refuses the configuration: " + std::string(*text ? text : detail);
}

bool instrumentRejected(int status) {
    return status <= -100 && status >= -999;
}

// ---- The comparison ---------------------------------------------------------

// What decides whether a value is used: the settings of the document.
struct Context {
    std::string trigger; // the trigger source
    std::string rate;
    bool channel = false; // a channel's field, not the instrument's
    std::string function; // the channel's
    bool channel1 = false;
    bool alarm1 = false, alarm2 = false; // the channel's alarms are on
};

bool flag(const Value* bits, const char* name) {
    const Value* b = bits ? bits->find(name) : nullptr;
    return b && b->isBool() && b->asBool();
}

// Why the library sends no value for the field while the other settings are
// as they are; nothing when it sends it.
std::optional<std::string> unusedBecause(const std::string& name, const Context& c) {
    const auto trigger = "the trigger source is " + c.trigger;
    if (c.channel) {
        if (name == "alarm1Limit" && !c.alarm1) return std::string("alarm 1 is off");
        if (name == "alarm2Limit" && !c.alarm2) return std::string("alarm 2 is off");
        if (name == "nplc" && c.rate != "NPLC") return "the rate is " + c.rate;
        const auto function = "the function is " + c.function;
        if ((name == "openDetect" || name == "refJunction") && c.function != "TEMP_TC")
            return function;
        if (name == "shuntOhms" && c.function != "CURR" && c.function != "CURR_AC") return function;
        return std::nullopt;
    }
    if (name == "alarmTriggerChannel" && c.trigger != "ALAR") return trigger;
    if ((name == "autoTriggerOrder" || name == "autoReferenceChannel" ||
         name == "autoSecondReferenceChannel" || name == "flags.autoTriggerContinuous") &&
        c.trigger != "AUTO")
        return trigger;
    if (name.rfind("interval", 0) == 0 && c.trigger == "EXT") return trigger;
    return std::nullopt;
}

// Fields the read-back cannot tell: not settings (the totalizer's own
// count, reserved words), or settings it does not carry (whether an alarm
// triggers a scan, channel 1's alarm outputs, the references of the
// automatic trigger on every model).
bool notReadBack(const std::string& name, const Context& c) {
    if (name.rfind("reserved", 0) == 0) return true;
    if (c.channel)
        return name == "alarmFlags.triggersScan" ||
               (c.channel1 && (name == "alarm1Output" || name == "alarm2Output"));
    return name == "totalizerCount" || name == "autoReferenceChannel" ||
           name == "autoSecondReferenceChannel";
}

class Comparison {
  public:
    Comparison(const Value& written, const Value& back, const std::map<std::string, Finding>& notes,
               std::vector<Finding>& out)
        : written_(written), back_(back), notes_(notes), out_(out) {
        const Value* trigger = written.find("triggerSource");
        const Value* flags = written.find("flags");
        const Value* rate = flags ? flags->find("rate") : nullptr;
        top_.trigger = trigger ? plain(*trigger) : "";
        top_.rate = rate ? plain(*rate) : "";
    }

    void document(const Value& d) {
        for (const auto& [key, v] : d.members()) {
            if (holdsChannels(key))
                forEachChannelOf(key, v,
                                 [&](ChannelId id, const std::string& path, const Value& user) {
                                     channel(id, path, user);
                                 });
            else if (const auto note = notes_.find(key); note != notes_.end())
                out_.push_back(note->second);
            else
                value(key, key, written_.find(key), back_.find(key), v, top_);
        }
    }

  private:
    void add(Kind kind, const std::string& path, std::string text) {
        out_.push_back(Finding{kind, path, std::move(text)});
    }

    void channel(ChannelId id, const std::string& path, const Value& user) {
        if (const auto note = notes_.find(path); note != notes_.end()) {
            out_.push_back(note->second);
            return;
        }
        const Value* mine = writtenChannel(written_, id);
        if (!mine) return; // holds nothing
        const Value* back = writtenChannel(back_, id);
        const Value* function = mine->find("function");
        const Value* held = back ? back->find("function") : nullptr;
        const std::string number = std::to_string(id.number);
        if (!function || isNoneOrOff(*function)) {
            if (!back || shown(*back) != shown(*mine))
                add(Kind::Unused, path,
                    "channel " + number + " is not configured (function " +
                        (function ? plain(*function) : "NONE") + "); its settings are not sent");
            return;
        }
        if (!held || shown(*held) != shown(*function)) {
            if (!held || isNoneOrOff(*held))
                add(Kind::Dropped, path + ".function",
                    shown(*function) + " is dropped: channel " + number +
                        " is not configured on the instrument");
            else
                add(Kind::Clamped, path + ".function",
                    shown(*function) + " is replaced by " + shown(*held));
            return;
        }
        Context c = top_;
        c.channel = true;
        c.channel1 = id == ChannelId{1, false};
        c.function = plain(*function);
        const Value* alarms = mine->find("alarmFlags");
        c.alarm1 = flag(alarms, "alarm1Low") || flag(alarms, "alarm1High");
        c.alarm2 = flag(alarms, "alarm2Low") || flag(alarms, "alarm2High");
        for (const auto& [key, v] : user.members()) {
            if (key == "channel" || key == "function") continue;
            value(path + "." + key, key, mine->find(key), back->find(key), v, c);
        }
    }

    // A field: the members of an object one by one, lists item by item
    // where the document gives them so.
    void value(const std::string& path, const std::string& name, const Value* mine,
               const Value* back, const Value& user, const Context& c) {
        if (!mine || !back) return;
        if (mine->isObject() && back->isObject()) {
            // The members the document gives; all of them when it gives a
            // number for the object.
            for (const auto& [key, v] : (user.isObject() ? user : *mine).members())
                value(path + "." + key, name + "." + key, mine->find(key), back->find(key), v, c);
            return;
        }
        if (mine->isArray() && back->isArray() && user.isArray() &&
            mine->items().size() == back->items().size()) {
            for (std::size_t i = 0; i < user.items().size() && i < mine->items().size(); ++i)
                leaf(indexed(path, i), name, mine->items()[i], back->items()[i], c);
            return;
        }
        leaf(path, name, *mine, *back, c);
    }

    void leaf(const std::string& path, const std::string& name, const Value& mine,
              const Value& back, const Context& c) {
        const std::string was = shown(mine), is = shown(back);
        if (was == is) return;
        if (const auto why = unusedBecause(name, c)) {
            // A zero or false left in an unused field says nothing.
            if ((mine.isNumber() && mine.asReal() == 0.0) || (mine.isBool() && !mine.asBool()))
                return;
            add(Kind::Unused, path,
                was + " is not sent while " + *why + " (the instrument holds " + is + ")");
            return;
        }
        if (notReadBack(name, c)) return;
        if (mine.isString() && back.isString() && (name == "name" || name == "unit")) {
            if (mine.text().rfind(back.text(), 0) == 0)
                add(Kind::Cut, path,
                    was + " is cut to " + std::to_string(characters(back.text())) +
                        " characters: " + is);
            else
                add(Kind::Cut, path, was + " is held as " + is);
            return;
        }
        const auto a = mine.isNumber() ? mine.asReal() : std::nullopt;
        const auto b = back.isNumber() ? back.asReal() : std::nullopt;
        if (a && b) {
            if (sameToSixDigits(*a, *b))
                add(Kind::Rounded, path, was + " is rounded to " + is);
            else if (*b == 0)
                add(Kind::Dropped, path, was + " is dropped (the instrument holds 0)");
            else
                add(Kind::Clamped, path, was + " is clamped to " + is);
            return;
        }
        if (mine.isBool() && back.isBool() && mine.asBool()) {
            add(Kind::Dropped, path, was + " is dropped (the instrument holds false)");
            return;
        }
        add(Kind::Clamped, path, was + " is replaced by " + is);
    }

    const Value& written_;
    const Value& back_;
    const std::map<std::string, Finding>& notes_;
    std::vector<Finding>& out_;
    Context top_;
};

} // namespace

std::string Finding::line() const {
    return (isError() ? "" : "warning: ") + (path.empty() ? text : path + ": " + text);
}

int errorCount(const std::vector<Finding>& findings) {
    int n = 0;
    for (const auto& f : findings)
        n += f.isError();
    return n;
}

std::string findingCounts(const std::vector<Finding>& findings) {
    const int errors = errorCount(findings);
    const int warnings = static_cast<int>(findings.size()) - errors;
    return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
           std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

int checkConfig(const json::Value& document, const VmrInstConfig& record, const CheckTarget& target,
                std::vector<Finding>& findings) {
    findings.clear();
    Bench bench(target);
    if (const int st = bench.open(); st != DLXVMR_OK) return st;

    std::map<ChannelId, std::string> paths;
    for (const auto& [key, v] : document.members())
        forEachChannelOf(
            key, v, [&](ChannelId id, const std::string& path, const Value&) { paths[id] = path; });
    // Findings of whole channels and settings, by their paths: shown where
    // the document holds them, and their values left out of the apply.
    std::map<std::string, Finding> notes;
    // A finding for the document as a whole ends the check: it comes first,
    // those of channels and settings follow in the document's order.
    const auto endWith = [&](std::string text) {
        findings.push_back(Finding{Kind::Rejected, "", std::move(text)});
        for (const auto& [key, v] : document.members()) {
            if (const auto note = notes.find(key); note != notes.end())
                findings.push_back(note->second);
            forEachChannelOf(key, v, [&](ChannelId, const std::string& path, const Value&) {
                if (const auto note = notes.find(path); note != notes.end())
                    findings.push_back(note->second);
            });
        }
        return DLXVMR_OK;
    };
    auto applied = std::make_unique<VmrInstConfig>(record);

    // Channels of slots without a module: the instrument has no such
    // channels, and it would reject a scan list that names them.
    const int fitted = dlxVmrGetInstalledModules(kCheckBcn);
    if (fitted < 0) return fitted;
    for (int m = 0; m < VMR_MODULE_AREAS; ++m) {
        const ModuleArea& area = record.modules[m];
        if ((fitted & (1 << m)) || area.moduleState == VMR_MODULE_ABSENT) continue;
        for (int k = 0; k < VMR_CHANNELS_PER_AREA; ++k) {
            const std::uint32_t f = area.channels[k].function;
            const ChannelId id{100 * m + 101 + k, false};
            if (f == 0 || f == VMR_CHANNEL_OFF) continue;
            notes[paths[id]] =
                Finding{Kind::Dropped, paths[id],
                        "channel " + std::to_string(id.number) + " is dropped: slot " +
                            std::to_string(m + 1) + " of the " + modelName(target.model) +
                            " holds no module"};
            clearChannel(*applied, id);
        }
    }

    // The apply: a channel or a trigger channel whose command is refused is
    // reported and left out, and the rest applied again, so that one refusal
    // hides no other.
    for (;;) {
        auto sent = std::make_unique<VmrInstConfig>(*applied);
        int detail = 0;
        const int st = dlxVmrConfigSet(kCheckBcn, sent.get(), 0, &detail);
        if (st == DLXVMR_OK) break;
        if (st == DLXVMR_CONFIG_NO_CHANNEL)
            return endWith("no channel is configured to scan: nothing would be sent");
        if (!instrumentRejected(st) && st != DLXVMR_E_INVALID_CONFIGURATION) return st;
        const std::string why = refusal(st);
        const int n = channelNamed(why);
        // The library names the channels of its own refusals by their slots.
        const ChannelId id =
            st == DLXVMR_E_INVALID_CONFIGURATION ? ChannelId{n, false} : namedChannel(n);
        if (const auto path = paths.find(id); path != paths.end() && !notes.count(path->second)) {
            notes[path->second] = Finding{Kind::Rejected, path->second, why};
            clearChannel(*applied, id);
            continue;
        }
        if (const std::string key = settingNaming(document, n); !key.empty() && !notes.count(key)) {
            notes[key] = Finding{Kind::Rejected, key, why};
            clearSetting(*applied, key);
            continue;
        }
        // Refused for no one channel or setting: what follows it goes unsent.
        return endWith(why + "; nothing after it is sent, nor checked");
    }

    auto back = std::make_unique<VmrInstConfig>();
    if (const int st = dlxVmrConfigGet(kCheckBcn, back.get()); st != DLXVMR_OK) {
        if (!instrumentRejected(st)) return st;
        // Such as an alarm trigger without its channel, which the read-back
        // cannot put back.
        return endWith("the configuration cannot be read back: " + refusal(st) +
                       "; nothing was compared");
    }
    const Value written = configToJson(record), readBack = configToJson(*back);
    Comparison comparison(written, readBack, notes, findings);
    comparison.document(document);
    return DLXVMR_OK;
}

} // namespace korda::tool
