#include "Commands.h"

#include <cstdio>

namespace korda::tool {

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = {
        {"idn", "idn", "korda tcp://192.168.0.20 idn", "print the instrument's identity", parseIdn},
        {"list", "list [ADDRESS...]", "korda list",
         "identify the instruments at the addresses, or search the USB ports", parseList},
        {"config get", "config get [-o FILE]", "korda usb:3 config get -o bench3.json",
         "read the running configuration back as JSON", parseConfigGet},
        {"config set", "config set FILE [--skip-unchanged] [--force]",
         "korda config set examples/5129A-thermocouples.json",
         "configure the instrument from a JSON file that passes config check", parseConfigSet},
        {"config check", "config check FILE [--model MODEL]",
         "korda config check bench.json --model 7043A",
         "list what the instrument would cut, clamp, drop or reject of a JSON file",
         parseConfigCheck},
        {"config example", "config example MODEL [-o FILE]", "korda config example 5129A",
         "print a configuration of typical channels to start from", parseConfigExample},
        {"scan", "scan [--count N] [--interval S] [-o FILE]", "korda scan --count 20 -o run.csv",
         "start scanning, fetch scans as CSV (N, or until Ctrl-C), stop", parseScan},
        {"record",
         "record [--config FILE.json [--force]] [--to TARGET] [--interval S] "
         "[--for DURATION | --count N]",
         "korda tcp://lab-1 tcp://lab-2 record --config run.json --for 8h --to run.sqlite",
         "record the scans of one or more instruments into SQLite (or CSV) until stopped",
         parseRecord},
        {"export",
         "export FILE|URL [--channels LIST] [--from TIME] [--until TIME] [--run N] [-o FILE]",
         "korda export run.sqlite --channels 101,102 --from 2026-03-07T08:00 -o oven.csv",
         "a recording's scans as CSV, in the order of their time stamps", parseExport},
        {"report",
         "report FILE|--from-db URL [--from TIME] [--until TIME] [--run N] [-o FILE.html]",
         "korda report run.sqlite -o run.html",
         "a run as one HTML page: a chart per unit, a table per channel, gap events", parseReport},
        {"monitor", "monitor CHANNEL [--count N] [--interval S]", "korda monitor 101 --count 5",
         "read one channel through the monitor (N times, or until Ctrl-C)", parseMonitor},
        {"log list", "log list", "korda log list", "the names of the log files in the memory",
         parseLogList},
        {"log read", "log read NAME [-o FILE]", "korda log read LOG00001 -o run.csv",
         "a log file's scans as CSV", parseLogRead},
        {"log config", "log config NAME [-o FILE]", "korda log config LOG00001",
         "the setup a log file was recorded with, as JSON", parseLogConfig},
        {"log status", "log status", "korda log status", "the free and used room of the log memory",
         parseLogStatus},
        {"log format", "log format", "korda log format", "empty the log memory", parseLogFormat},
        {"files", "files DIR|FILE [read [--skip-bad]|verify|config] [-o FILE]",
         "korda files /media/usb/run1/ verify",
         "a recording copied from a USB drive (its directory or a file in it): CSV, check codes, "
         "setup",
         parseFiles},
        {"dio", "dio [MASK VALUE]", "korda usb:4 dio 0x03 0x01",
         "read the digital I/O byte, or set the bits of MASK", parseDio},
        {"totalizer", "totalizer [clear]", "korda totalizer", "read or clear the totalizer",
         parseTotalizer},
        {"clock", "clock [--utc]", "korda tcp://lab-7043 clock",
         "set the instrument clock from this PC's clock", parseClock},
        {"oem", "oem [TEXT]", "korda oem \"Bench 4\"", "read or store the OEM identity text",
         parseOem},
        {"raw", "raw SCPI...", "korda raw \"TRIG:TIM?\" \"SYST:ERR?\"",
         "send SCPI commands as they stand; print query replies", parseRaw},
        {"doctor", "doctor", "korda usb:3 doctor",
         "check the library, the connection, the identity and the error queue", parseDoctor},
    };
    return table;
}

namespace {

// The first word of a row's name.
std::string family(const Command& c) {
    const std::string name = c.name;
    return name.substr(0, name.find(' '));
}

// "get, set or example": the second words of a family's rows.
std::string familyWords(const std::string& word) {
    std::vector<std::string> words;
    for (const auto& c : commandTable()) {
        const std::string name = c.name;
        if (family(c) == word && name.size() > word.size())
            words.push_back(name.substr(word.size() + 1));
    }
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

// The row a command word starts (taking a family's second word); nullptr
// when the word starts none.
const Command* findCommand(const std::string& word, Args& args) {
    bool isFamily = false;
    for (const auto& c : commandTable()) {
        if (word == c.name) return &c;
        if (family(c) == word) isFamily = true;
    }
    if (!isFamily) return nullptr;
    const std::string words = familyWords(word);
    const std::string second = args.value(word + ": " + words);
    const std::string name = word + " " + second;
    for (const auto& c : commandTable())
        if (name == c.name) return &c;
    throw UsageError(word + ": " + words + ", not '" + second + "'");
}

} // namespace

bool isCommandName(const std::string& word) {
    for (const auto& c : commandTable())
        if (family(c) == word) return true;
    return false;
}

std::vector<Step> parseCommandLine(const std::vector<std::string>& argv, Run& run,
                                   Request& request) {
    Args args(argv);
    std::vector<Step> steps;
    bool commandSeen = false;
    run.address.text = "sim:";
    while (args.more()) {
        const std::string word = args.take();
        if (word == "--help" || word == "-h") {
            request = Request::Help;
            return {};
        }
        if (word == "--version") {
            request = Request::Version;
            return {};
        }
        if (word == "--timeout") {
            steps.push_back(parseTimeout(args));
        } else if (word == "--model") {
            const std::string m = args.value("--model");
            run.model = modelFromName(m);
            if (!run.model) throw UsageError("--model is 7043A or 5129A, not '" + m + "'");
        } else if (const Command* c = findCommand(word, args)) {
            steps.push_back(c->parse(args));
            commandSeen = true;
        } else if (looksLikeAddress(word)) {
            if (commandSeen)
                throw UsageError("the address (" + word + ") comes before the commands");
            std::string why;
            const auto a = parseAddress(word, why);
            if (!a) throw UsageError(why);
            if (!run.addressGiven) run.address = *a;
            run.addresses.push_back(*a);
            run.addressGiven = true;
        } else {
            throw UsageError("unknown command '" + word + "'");
        }
    }
    if (!commandSeen) throw UsageError("no command given");
    if (run.addresses.size() > 1)
        for (const auto& step : steps)
            if (step.name != "record")
                throw UsageError("several addresses are for record; " + step.name + " takes one");
    return steps;
}

std::string versionText() {
    char library[64] = {};
    dlxVmrGetVersion(nullptr, nullptr, nullptr, library, sizeof library);
    return std::string("korda ") + KORDA_VERSION + ", library KORDA32Ext " + library + "\n";
}

std::string helpText() {
    std::string out =
        "usage: korda [ADDRESS...] [--model MODEL] [--timeout S] COMMAND [ARGS] [COMMAND "
        "[ARGS]...]\n"
        "       korda --help | --version\n"
        "\n"
        "ADDRESS: tcp://HOST[:PORT] (port 5025 by default), usb:N (COM port N), usb: (search),\n"
        "         sim:[7043A|5129A] (a virtual instrument inside korda, a 5129A unless named; the\n"
        "         default).\n"
        "Commands run in order against one instrument (record takes several addresses, each\n"
        "recorded on its own thread); the model is read from its identity unless --model names\n"
        "it (the addresses and --model come before the commands, in either order). --timeout S\n"
        "sets the library timeout from where it stands.\n"
        "\n"
        "commands:\n";
    for (const auto& c : commandTable()) {
        char line[512];
        std::snprintf(line, sizeof line, "  %-58s %s\n      e.g. %s\n", c.usage, c.what, c.example);
        out += line;
    }
    out += "\n"
           "exit codes: 0 done, 1 local failure (a file, or a configuration the check finds an\n"
           "error in), 2 bad arguments or an invalid document (nothing sent),\n"
           "3 the instrument or the library refused, 4 the instrument could not be reached,\n"
           "130 interrupted (a running scan is stopped first).\n"
           "\n"
           "config set keeps the configuration's fingerprint in the instrument's OEM identity\n"
           "text (that is how --skip-unchanged knows it); a text stored with \"korda oem\" is\n"
           "replaced, and korda says so.\n";
    return out;
}

} // namespace korda::tool
