// Table-driven SCPI command dispatch for the virtual instrument.
//
// A pattern is written the usual SCPI way: "SYSTem:COMMunicate:TERMinator",
// "[SENSe:]TEMPerature:NPLC?", "*IDN?". Upper-case letters form the short
// form; a node matches its short or long form in any letter case; a node in
// brackets may be left out. A trailing "?" marks a query.
#pragma once

#include "ScpiErrors.h"

#include <functional>
#include <string>
#include <vector>

namespace korda::sim {

class Instrument;

// One parsed program line: "HEADER args".
struct Request {
    std::string line;   // the whole line as received (without line end)
    std::string header; // the command header, e.g. "SYST:ERR?"
    std::string args;   // what follows the header, leading blanks removed
    bool query = false;
};

// What a handler produces: reply lines for a query, or an instrument error.
struct Reply {
    std::vector<std::string> lines;
    // The lines go out once no run of a fixed number of timed sweeps is under
    // way ("*OPC?"): the connection holds them, and the lines it receives
    // after, until then, without holding the instrument.
    bool afterRunEnd = false;
    int errorCode = 0;
    std::string errorText;
    void error(int code, std::string text) {
        errorCode = code;
        errorText = std::move(text);
    }
    // An error with the instrument's own text of its code.
    void error(int code) { error(code, scpi_error::text(code)); }
};

using Handler = std::function<void(Instrument&, const Request&, Reply&)>;

class CommandTable {
  public:
    void add(const std::string& pattern, Handler handler);
    // The handler of the first pattern that matches the header, or null.
    const Handler* find(const std::string& header) const;

  private:
    struct Node {
        std::string shortForm; // upper case
        std::string longForm;  // upper case
        bool optional = false;
    };
    struct Entry {
        std::vector<Node> nodes;
        bool query = false;
        Handler handler;
    };
    static bool matches(const Entry& e, const std::vector<std::string>& parts, bool query);
    std::vector<Entry> entries_;
};

// Splits a line into header and arguments.
Request parseRequest(const std::string& line);

} // namespace korda::sim
