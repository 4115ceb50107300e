// The check of a configuration document against a model: the document is
// applied to a virtual instrument of that model inside korda, through the
// library as to any instrument, and read back. Every value the read-back
// does not hold as the document wrote it is a finding, named by its JSON
// path: a text cut short, a number clamped, a channel or setting dropped, a
// command the instrument rejects. So the rules checked are the library's and
// the instrument's own, and korda keeps no table of them.
#pragma once

#include "Json.h"
#include "korda32ext.h"

#include <string>
#include <vector>

namespace korda::tool {

struct Finding {
    enum class Kind {
        Cut,      // a text the instrument holds shorter, or otherwise changed
        Clamped,  // a number or a choice the instrument holds as another one
        Dropped,  // a channel or a value the instrument does not hold at all
        Rejected, // a command the instrument (or the library) refuses
        // Warnings: the instrument holds the value in effect.
        Rounded, // a number held to six significant digits
        Unused,  // a value not sent while another setting leaves it unused
    };
    Kind kind;
    // The JSON path in the document ("modules[0].channels[3].name"); empty
    // for the document as a whole.
    std::string path;
    std::string text;

    bool isError() const { return kind != Kind::Rounded && kind != Kind::Unused; }
    // "PATH: TEXT"; a warning starts with "warning: ".
    std::string line() const;
};

// The instrument checked against: its model code and the slots that hold a
// module (bit k = slot k + 1).
struct CheckTarget {
    int model = DLXVMR_MODEL_5129A;
    unsigned fittedSlots = ~0u;
};

// Checks a document, and the record configFromJson read from it, against
// the target. Returns DLXVMR_OK with the findings in the document's order,
// or the status of a failure that kept the check from running (the
// library's detail of the failure describes it).
int checkConfig(const json::Value& document, const VmrInstConfig& record, const CheckTarget& target,
                std::vector<Finding>& findings);

// "2 errors, 1 warning".
std::string findingCounts(const std::vector<Finding>& findings);
int errorCount(const std::vector<Finding>& findings);

} // namespace korda::tool
