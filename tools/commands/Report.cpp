// report: a run of a recording as one self-contained HTML page.
#include "Report.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"
#include "store/Reader.h"

#include <filesystem>
#include <limits>

namespace korda::tool {

namespace {

struct ReportOptions {
    std::string source; // a recording file, or a database's connection text
    std::int64_t fromMs = std::numeric_limits<std::int64_t>::min();
    std::int64_t untilMs = std::numeric_limits<std::int64_t>::max();
    bool spanAsked = false;
    long long run = 0; // 0: the last
    std::string output;
};

int runReport(const ReportOptions& o) {
    return store::readRun(
        o.source, o.run, [&](store::Reader& reader, const store::RecordedRun& run) {
            report::Report r = report::loadReport(reader, run, o.fromMs, o.untilMs);
            r.source = store::withoutPasswords(o.source);
            r.spanAsked = o.spanAsked;
            OutputFile out(o.output);
            if (!out.open()) return kExitFailure;
            const bool written = out.write(report::reportHtml(r));
            return out.finish() && written ? kExitOk : kExitFailure;
        });
}

// The recording's name with ".html" for its extension.
std::string defaultOutput(const std::string& source) {
    std::filesystem::path p(source);
    p.replace_extension(".html");
    if (p == std::filesystem::path(source)) p = source + ".html";
    return p.string();
}

} // namespace

Step parseReport(Args& args) {
    ReportOptions o;
    if (args.more() && args.peek() == "--from-db") {
        args.take();
        o.source = args.value("report --from-db: the database (postgresql://...)");
        if (!store::isPostgresTarget(o.source))
            throw UsageError("report --from-db: a connection text such as "
                             "postgresql://user@host/db, not '" +
                             o.source + "'");
    } else {
        o.source = args.value("report: the recording (an SQLite file)");
    }
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--from") {
            o.fromMs = timeArgument(args, "report --from");
            o.spanAsked = true;
        } else if (opt == "--until") {
            o.untilMs = timeArgument(args, "report --until");
            o.spanAsked = true;
        } else if (opt == "--run") {
            o.run = number(args.value("report --run"), 1, 1000000000, "report --run");
        } else if (opt == "-o") {
            o.output = args.value("report -o: the HTML file");
        } else {
            throw UsageError("report: unknown option '" + opt + "'");
        }
    }
    if (o.output.empty())
        o.output = store::isPostgresTarget(o.source) ? "report.html" : defaultOutput(o.source);
    return Step{"report", [o](Run&) { return runReport(o); }};
}

} // namespace korda::tool
