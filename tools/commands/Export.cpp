// export: a recording made by `record` back out as CSV, one row per scan in
// the order of the time stamps.
#include "Channels.h"
#include "Commands.h"
#include "Output.h"
#include "OutputFile.h"
#include "store/Reader.h"
#include "store/Times.h"

#include <algorithm>
#include <limits>

namespace korda::tool {

namespace {

struct ExportOptions {
    std::string path;
    std::vector<int> channels; // empty: all
    std::int64_t fromMs = std::numeric_limits<std::int64_t>::min();
    std::int64_t untilMs = std::numeric_limits<std::int64_t>::max();
    long long run = 0; // 0: the last
    std::string output;
};

#if defined(KORDA_HAVE_SQLITE)

// A column of the export: a reading position of one instrument.
struct Place {
    std::int64_t instrument;
    int position;
};

int runExport(const ExportOptions& o) {
    return store::readRun(o.path, o.run, [&](store::Reader& reader, const store::RecordedRun& run) {
        const auto instruments = reader.instruments(run.id);
        std::vector<Column> columns;
        std::vector<Place> places;
        std::vector<std::int64_t> ids;
        for (const auto& in : instruments) {
            ids.push_back(in.id);
            std::vector<Column> mine = recordedColumns(reader, in, o.fromMs, o.untilMs);
            for (std::size_t p = 0; p < mine.size(); ++p) {
                const bool wanted =
                    o.channels.empty() || std::find(o.channels.begin(), o.channels.end(),
                                                    mine[p].channel) != o.channels.end();
                if (!wanted) continue;
                if (instruments.size() > 1) mine[p].source = in.address;
                columns.push_back(mine[p]);
                places.push_back({in.id, static_cast<int>(p)});
            }
        }
        OutputFile out(o.output);
        if (!out.open()) return kExitFailure;
        CsvWriter csv(out);
        bool written = csv.header(columns);
        std::string line;
        reader.scans(ids, o.fromMs, o.untilMs, [&](const store::RecordedScan& s) {
            line = store::isoText(s.timeMs, s.utcOffsetMinutes, true);
            for (const Place& p : places) {
                line += ',';
                if (p.instrument == s.instrument && p.position < s.readingCount)
                    line += readingText(s.readings[p.position]);
            }
            line += '\n';
            written = written && out.write(line);
            return written;
        });
        return out.finish() && written ? kExitOk : kExitFailure;
    });
}

#endif

} // namespace

std::int64_t timeArgument(Args& args, const std::string& what) {
    const std::string text = args.value(what);
    const auto ms = store::parseIso(text);
    if (!ms)
        throw UsageError(what +
                         ": a time such as 2026-03-07T09:05:03 (local), "
                         "2026-03-07T08:05:03Z or 2026-03-07 09:05+01:00, not '" +
                         text + "'");
    return *ms;
}

Step parseExport(Args& args) {
    ExportOptions o;
    o.path = args.value("export: the recording (an SQLite file or postgresql://...)");
    while (args.more() && !isCommandName(args.peek())) {
        const std::string opt = args.take();
        if (opt == "--channels") {
            const std::string list = args.value("export --channels");
            o.channels = parseChannelList(list);
            if (o.channels.empty())
                throw UsageError("export --channels: channel numbers such as 101,102 or "
                                 "101:110, not '" +
                                 list + "'");
        } else if (opt == "--from") {
            o.fromMs = timeArgument(args, "export --from");
        } else if (opt == "--until") {
            o.untilMs = timeArgument(args, "export --until");
        } else if (opt == "--run") {
            o.run = number(args.value("export --run"), 1, 1000000000, "export --run");
        } else if (opt == "-o") {
            o.output = args.value("export -o: the CSV file");
        } else {
            throw UsageError("export: unknown option '" + opt + "'");
        }
    }
#if defined(KORDA_HAVE_SQLITE)
    return Step{"export", [o](Run&) { return runExport(o); }};
#else
    throw UsageError("export: this korda was built without SQLite");
#endif
}

} // namespace korda::tool
