// The report as one self-contained HTML page: inline style, inline SVG
// charts, no script, nothing fetched.
#include "Report.h"

#include "store/Times.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace korda::tool::report {

namespace {

// A chart's geometry in SVG units: the plot area is kColumns wide, one unit
// per pixel column.
constexpr int kLeft = 72;
constexpr int kTop = 10;
constexpr int kPlotHeight = 260;
constexpr int kWidth = kLeft + kColumns + 16;
constexpr int kHeight = kTop + kPlotHeight + 48;

// Distinct for the eye and for colour-blind eyes; past ten lines in a chart
// the colours come again with a dash pattern.
constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                    "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#3b3eac"};
constexpr const char* kDashes[] = {"", "6 3", "2 2", "8 3 2 3"};
constexpr std::size_t kColourCount = sizeof kColours / sizeof kColours[0];

constexpr const char* kStyle =
    "body{font:14px/1.45 system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;color:#222;"
    "max-width:1120px;margin:20px auto;padding:0 16px}"
    "h1{font-size:22px;margin:0 0 8px}h2{font-size:17px;margin:28px 0 8px}"
    "h3{font-size:15px;margin:18px 0 4px}"
    "table{border-collapse:collapse;margin:4px 0}"
    "th,td{padding:3px 8px;border-bottom:1px solid #e2e2e2;text-align:left;vertical-align:top}"
    "th{font-weight:600;background:#f5f5f5}table.channels{font-size:13px}td.n{text-align:right;"
    "font-variant-numeric:"
    "tabular-nums;white-space:nowrap}table.facts th{background:none}"
    "code{font:12px ui-monospace,Menlo,Consolas,monospace;word-break:break-all}"
    "svg.chart{display:block;width:100%;height:auto}"
    "svg.chart text{font-size:12px;fill:#444}"
    ".plot{fill:#fff;stroke:#9a9a9a}.grid{stroke:#ececec;fill:none}"
    "path.s{fill:none;stroke-width:1.3;stroke-linejoin:round;stroke-linecap:round}"
    ".gap{fill:#000;fill-opacity:.11}.alarm{fill:#d62728;fill-opacity:.14}"
    ".alarm-edge{fill:#d62728}"
    "ul.legend{list-style:none;display:flex;flex-wrap:wrap;gap:2px 18px;padding:0;margin:4px 0 0"
    " 72px}ul.legend svg{vertical-align:middle;margin-right:5px}"
    ".key{margin:2px 0 0 72px;color:#555;font-size:13px}"
    ".key span{display:inline-block;width:14px;height:10px;margin:0 5px 0 14px;"
    "vertical-align:middle}.note{color:#555}footer{margin-top:30px;color:#777;font-size:12px}";

void append(std::string& out, long long v) {
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

// A coordinate with one decimal at most: "12", "12.5".
void appendCoordinate(std::string& out, double v) {
    const long long tenths = std::llround(v * 10);
    if (tenths < 0 && tenths > -10) out += '-';
    append(out, tenths / 10);
    if (tenths % 10 != 0) {
        out += '.';
        out += static_cast<char>('0' + std::abs(tenths % 10));
    }
}

std::string numberText(double v, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// A reading in a table: as many digits as a float holds.
std::string valueText(double v) {
    return numberText(v, "%.7g");
}

std::string offsetText(int minutes) {
    const int a = std::abs(minutes);
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
    return text;
}

std::string timeText(std::int64_t ms, int offset) {
    return store::isoText(ms, offset, true);
}

// A time in the report's offset, without it: "2026-03-07 09:05:03.042".
std::string localText(const Report& r, std::int64_t ms) {
    std::string t = store::isoText(ms, r.utcOffset, false);
    if (t.size() > 10) t[10] = ' ';
    return t;
}

// ---- Axes ----------------------------------------------------------------------

struct ValueAxis {
    double low = 0, high = 1, step = 0.2;
    std::string format; // printf format of a tick label
};

ValueAxis valueAxis(double low, double high) {
    if (!(high > low)) {
        const double d = low != 0 ? std::abs(low) * 0.05 : 1;
        low -= d;
        high += d;
    }
    ValueAxis a;
    const double raw = (high - low) / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double n = raw / magnitude;
    a.step = (n <= 1 ? 1 : n <= 2 ? 2 : n <= 5 ? 5 : 10) * magnitude;
    a.low = std::floor(low / a.step) * a.step;
    a.high = std::ceil(high / a.step) * a.step;
    if (!(a.high > a.low)) a.high = a.low + a.step; // a step lost in rounding
    const double largest = std::max(std::abs(a.low), std::abs(a.high));
    if (largest >= 1e7 || a.step < 1e-5) {
        a.format = "%.3g";
    } else {
        const int decimals = a.step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(a.step)));
        a.format = "%." + std::to_string(decimals) + "f";
    }
    return a;
}

struct TimeTick {
    std::int64_t ms;
    std::string label;
    std::string date; // below the label where the day changes
};

// Ticks in the local time of the given offset, at round steps, about one
// per 120 columns.
std::vector<TimeTick> timeTicks(std::int64_t t0, std::int64_t t1, int offset) {
    constexpr std::int64_t kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute,
                           kDay = 24 * kHour;
    static const std::int64_t steps[] = {1,
                                         2,
                                         5,
                                         10,
                                         20,
                                         50,
                                         100,
                                         200,
                                         500,
                                         kSecond,
                                         2 * kSecond,
                                         5 * kSecond,
                                         10 * kSecond,
                                         15 * kSecond,
                                         30 * kSecond,
                                         kMinute,
                                         2 * kMinute,
                                         5 * kMinute,
                                         10 * kMinute,
                                         15 * kMinute,
                                         30 * kMinute,
                                         kHour,
                                         2 * kHour,
                                         3 * kHour,
                                         6 * kHour,
                                         12 * kHour,
                                         kDay,
                                         2 * kDay,
                                         7 * kDay,
                                         14 * kDay,
                                         30 * kDay,
                                         61 * kDay,
                                         91 * kDay,
                                         182 * kDay,
                                         365 * kDay};
    const double span = static_cast<double>(t1) - static_cast<double>(t0);
    double step = 0;
    for (const std::int64_t s : steps)
        if (span / static_cast<double>(s) <= 8) {
            step = static_cast<double>(s);
            break;
        }
    if (step == 0) step = static_cast<double>(365 * kDay) * std::ceil(span / (8.0 * 365 * kDay));
    const double shift = static_cast<double>(offset) * kMinute;
    // The first multiple of the step, in local time, at or after t0.
    double at = std::ceil((static_cast<double>(t0) + shift) / step) * step - shift;
    std::vector<TimeTick> out;
    std::string lastDate;
    for (int n = 0; at <= static_cast<double>(t1) && n < 40; ++n, at += step) {
        const auto ms = static_cast<std::int64_t>(at);
        const std::string local = store::isoText(ms, offset, false); // 2026-03-07T09:05:03.042
        TimeTick t{ms, {}, {}};
        if (step < kSecond)
            t.label = local.substr(11, 12);
        else if (step < kMinute)
            t.label = local.substr(11, 8);
        else if (step < kDay)
            t.label = local.substr(11, 5);
        else
            t.label = local.substr(0, 10);
        const std::string date = local.substr(0, 10);
        if (step < kDay && date != lastDate) t.date = date;
        lastDate = date;
        out.push_back(std::move(t));
    }
    return out;
}

// ---- Charts --------------------------------------------------------------------

double xOf(const Report& r, std::int64_t ms) {
    return kLeft + (static_cast<double>(ms) - static_cast<double>(r.t0)) /
                       (static_cast<double>(r.t1) - static_cast<double>(r.t0) + 1.0) * kColumns;
}

// Columns touched by a gap event of each instrument, counted from the left
// (gapsBefore[c + 1] - gapsBefore[a + 1]: the gap columns in (a, c]).
std::vector<std::vector<int>> gapCounts(const Report& r) {
    std::vector<std::vector<int>> out;
    for (const InstrumentPart& p : r.instruments) {
        std::vector<int> marked(kColumns, 0);
        for (const auto& g : p.gaps) {
            const auto from = store::parseIso(g.gap.from), until = store::parseIso(g.gap.until);
            if (!from || !until || *until < *from || *until < r.t0 || *from > r.t1) continue;
            for (int c = columnOf(r, *from); c <= columnOf(r, *until); ++c)
                marked[static_cast<std::size_t>(c)] = 1;
        }
        std::vector<int> before(kColumns + 1, 0);
        for (int c = 0; c < kColumns; ++c)
            before[static_cast<std::size_t>(c) + 1] =
                before[static_cast<std::size_t>(c)] + marked[static_cast<std::size_t>(c)];
        out.push_back(std::move(before));
    }
    return out;
}

// The path of a series: at each column its first, lowest and highest (in
// the order they came) and last reading; a new stroke after a reading
// without a value or across a gap event.
std::string seriesPath(const Series& s, const ValueAxis& a, const std::vector<int>& gapsBefore) {
    std::string d;
    bool penDown = false;
    int lastColumn = -1;
    int strokePoints = 0;
    const auto endStroke = [&] {
        if (strokePoints == 1) d += "m-3 0h6m-3-3v6"; // a lone reading as a cross
        strokePoints = 0;
        penDown = false;
    };
    const double scale = kPlotHeight / (a.high - a.low);
    for (int c = 0; c < kColumns; ++c) {
        const Bucket& b = s.buckets[static_cast<std::size_t>(c)];
        if (!b.any) {
            if (b.broken) endStroke();
            continue;
        }
        if (penDown && gapsBefore[static_cast<std::size_t>(c) + 1] -
                               gapsBefore[static_cast<std::size_t>(lastColumn) + 1] >
                           0)
            endStroke();
        const float order[4] = {b.first, b.lowFirst ? b.low : b.high, b.lowFirst ? b.high : b.low,
                                b.last};
        long long previous = -1;
        for (const float v : order) {
            const double y = kTop + (a.high - static_cast<double>(v)) * scale;
            const long long tenths = std::llround(y * 10);
            if (tenths == previous) continue;
            previous = tenths;
            d += penDown ? ' ' : 'M';
            append(d, kLeft + c);
            d += ' ';
            appendCoordinate(d, y);
            penDown = true;
            ++strokePoints;
        }
        lastColumn = c;
        if (b.broken) endStroke();
    }
    endStroke();
    return d;
}

std::string seriesLabel(const Series& s) {
    std::string out = std::to_string(s.column.channel);
    if (!s.column.name.empty()) out += " " + s.column.name;
    if (!s.column.source.empty()) out += " (" + s.column.source + ")";
    return out;
}

void appendStrokeStyle(std::string& out, std::size_t index) {
    out += "stroke=\"";
    out += kColours[index % kColourCount];
    out += '"';
    const char* dash = kDashes[(index / kColourCount) % (sizeof kDashes / sizeof kDashes[0])];
    if (*dash) {
        out += " stroke-dasharray=\"";
        out += dash;
        out += '"';
    }
}

// Spans of consecutive marked columns as rectangles of a class.
void appendColumnSpans(std::string& out, const std::vector<bool>& marked, const char* cls, int y,
                       int height) {
    for (int c = 0; c < kColumns;) {
        if (!marked[static_cast<std::size_t>(c)]) {
            ++c;
            continue;
        }
        int end = c;
        while (end < kColumns && marked[static_cast<std::size_t>(end)])
            ++end;
        out += "<rect class=\"";
        out += cls;
        out += "\" x=\"";
        append(out, kLeft + c);
        out += "\" y=\"";
        append(out, y);
        out += "\" width=\"";
        append(out, end - c);
        out += "\" height=\"";
        append(out, height);
        out += "\"/>";
        c = end;
    }
}

void appendChart(std::string& out, const Report& r, const std::vector<std::size_t>& members,
                 const std::vector<std::vector<int>>& gapsBefore) {
    double low = 0, high = 0;
    bool any = false;
    for (const std::size_t i : members) {
        const Series& s = r.series[i];
        if (s.count == 0) continue;
        low = any ? std::min(low, static_cast<double>(s.low)) : s.low;
        high = any ? std::max(high, static_cast<double>(s.high)) : s.high;
        any = true;
    }
    const ValueAxis a = any ? valueAxis(low, high) : ValueAxis{0, 1, 0.2, "%.1f"};
    const std::string unit = r.series[members.front()].column.unit;
    out += "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
    append(out, kWidth);
    out += ' ';
    append(out, kHeight);
    out += "\" role=\"img\" aria-label=\"readings in ";
    out += escapeHtml(unit.empty() ? "no unit" : unit);
    out += " over time\"><rect class=\"plot\" x=\"";
    append(out, kLeft);
    out += "\" y=\"";
    append(out, kTop);
    out += "\" width=\"";
    append(out, kColumns);
    out += "\" height=\"";
    append(out, kPlotHeight);
    out += "\"/>";

    // Value ticks and grid.
    std::string grid, labels;
    const double scale = kPlotHeight / (a.high - a.low);
    for (int n = 0; n <= 40; ++n) {
        const double v = a.low + n * a.step;
        if (v > a.high + a.step / 2) break;
        const double y = kTop + (a.high - v) * scale;
        grid += 'M';
        append(grid, kLeft);
        grid += ' ';
        appendCoordinate(grid, y);
        grid += 'h';
        append(grid, kColumns);
        labels += "<text x=\"";
        append(labels, kLeft - 6);
        labels += "\" y=\"";
        appendCoordinate(labels, y + 4);
        labels += "\" text-anchor=\"end\">";
        labels += numberText(std::abs(v) < a.step / 1e6 ? 0.0 : v, a.format.c_str());
        labels += "</text>";
    }
    // Time ticks.
    const int base = kTop + kPlotHeight;
    for (const TimeTick& t : timeTicks(r.t0, r.t1, r.utcOffset)) {
        const double x = xOf(r, t.ms);
        grid += 'M';
        appendCoordinate(grid, x);
        grid += ' ';
        append(grid, kTop);
        grid += 'v';
        append(grid, kPlotHeight);
        labels += "<text x=\"";
        appendCoordinate(labels, x);
        labels += "\" y=\"";
        append(labels, base + 16);
        labels += "\" text-anchor=\"middle\">" + t.label;
        if (!t.date.empty()) {
            labels += "<tspan x=\"";
            appendCoordinate(labels, x);
            labels += "\" dy=\"14\">" + t.date + "</tspan>";
        }
        labels += "</text>";
    }
    out += "<path class=\"grid\" d=\"" + grid + "\"/>";

    // Gap events and scans in alarm of the chart's instruments.
    std::vector<bool> gapColumns(kColumns, false), alarmColumns(kColumns, false);
    bool anyAlarm = false, anyGap = false;
    for (const std::size_t i : members) {
        const std::size_t in = r.series[i].instrument;
        const auto& before = gapsBefore[in];
        for (int c = 0; c < kColumns; ++c) {
            const auto k = static_cast<std::size_t>(c);
            if (before[k + 1] > before[k]) gapColumns[k] = anyGap = true;
            if (r.instruments[in].alarmColumns[k]) alarmColumns[k] = anyAlarm = true;
        }
    }
    appendColumnSpans(out, gapColumns, "gap", kTop, kPlotHeight);
    appendColumnSpans(out, alarmColumns, "alarm", kTop, kPlotHeight);
    appendColumnSpans(out, alarmColumns, "alarm-edge", kTop, 5);
    out += labels;
    out += "<text x=\"";
    append(out, kLeft + kColumns / 2);
    out += "\" y=\"";
    append(out, kHeight - 4);
    out += "\" text-anchor=\"middle\">time, " + offsetText(r.utcOffset);
    if (r.offsetChanges) out += " at the start (the offset changes in the run)";
    out += "</text>";
    if (!any) {
        out += "<text x=\"";
        append(out, kLeft + kColumns / 2);
        out += "\" y=\"";
        append(out, kTop + kPlotHeight / 2);
        out += "\" text-anchor=\"middle\">no readings</text>";
    }
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Series& s = r.series[members[k]];
        if (s.count == 0) continue;
        out += "<path class=\"s\" ";
        appendStrokeStyle(out, k);
        out += " d=\"" + seriesPath(s, a, gapsBefore[s.instrument]) + "\"><title>" +
               escapeHtml(seriesLabel(s)) + "</title></path>";
    }
    out += "</svg>\n<ul class=\"legend\">";
    for (std::size_t k = 0; k < members.size(); ++k) {
        out += "<li><svg width=\"26\" height=\"10\" aria-hidden=\"true\"><path d=\"M1 5h24\" "
               "stroke-width=\"2\" ";
        appendStrokeStyle(out, k);
        out += "/></svg>" + escapeHtml(seriesLabel(r.series[members[k]])) + "</li>";
    }
    out += "</ul>\n";
    if (anyGap || anyAlarm) {
        out += "<p class=\"key\">";
        if (anyGap) out += "<span class=\"gap\" style=\"background:#e3e3e3\"></span>gap events";
        if (anyAlarm)
            out += "<span style=\"background:#f6d5d5;border-top:3px solid #d62728\"></span>scans "
                   "in alarm";
        out += "</p>\n";
    }
}

// ---- Tables --------------------------------------------------------------------

void appendRow(std::string& out, const std::vector<std::string>& cells,
               const std::vector<bool>& numeric) {
    out += "<tr>";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out += i < numeric.size() && numeric[i] ? "<td class=\"n\">" : "<td>";
        out += cells[i];
        out += "</td>";
    }
    out += "</tr>\n";
}

void appendHead(std::string& out, const std::vector<const char*>& names,
                const char* cls = nullptr) {
    out += cls ? std::string("<table class=\"") + cls + "\"><tr>" : std::string("<table><tr>");
    for (const char* n : names) {
        out += "<th>";
        out += n;
        out += "</th>";
    }
    out += "</tr>\n";
}

void appendFact(std::string& out, const char* name, const std::string& html) {
    out += "<tr><th>";
    out += name;
    out += "</th><td>" + html + "</td></tr>\n";
}

} // namespace

std::string escapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
                out += "\xEF\xBF\xBD"; // U+FFFD
            else
                out += c;
        }
    }
    return out;
}

std::string reportHtml(const Report& r) {
    const std::string source = std::filesystem::path(r.source).filename().string();
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                      "<link rel=\"icon\" href=\"data:,\"><title>";
    out += escapeHtml("Run " + std::to_string(r.run.id) + " of " + source);
    out += "</title><style>";
    out += kStyle;
    out += "</style></head>\n<body>\n<h1>";
    out += escapeHtml("Run " + std::to_string(r.run.id) + " of " + source);
    out += "</h1>\n<table class=\"facts\">\n";
    appendFact(out, "recording", escapeHtml(r.source));
    appendFact(out, "started", escapeHtml(r.run.started));
    appendFact(out, "ended",
               r.run.ended.empty() ? "not ended (still recording, or the recorder was stopped "
                                     "without ending the run)"
                                   : escapeHtml(r.run.ended));
    if (r.spanAsked) {
        const bool from = r.fromMs != std::numeric_limits<std::int64_t>::min();
        const bool until = r.untilMs != std::numeric_limits<std::int64_t>::max();
        appendFact(out, "scans asked for",
                   escapeHtml((from ? "from " + timeText(r.fromMs, store::offsetAt(r.fromMs))
                                    : std::string("from the start")) +
                              (until ? " until " + timeText(r.untilMs, store::offsetAt(r.untilMs))
                                     : std::string(" to the end"))));
    }
    std::string scans = std::to_string(r.scans);
    if (r.scans > 0) {
        std::int64_t first = 0, last = 0;
        bool seen = false;
        for (const Series& s : r.series)
            if (s.count > 0) {
                first = seen ? std::min(first, s.firstMs) : s.firstMs;
                last = seen ? std::max(last, s.lastMs) : s.lastMs;
                seen = true;
            }
        if (seen)
            scans += ", readings from " + localText(r, first) + " to " + localText(r, last) + " (" +
                     offsetText(r.utcOffset) + ")";
    }
    appendFact(out, "scans", escapeHtml(scans));
    appendFact(out, "recorded by", escapeHtml("korda " + r.run.kordaVersion));
    appendFact(out, "command line", "<code>" + escapeHtml(r.run.commandLine) + "</code>");
    out += "</table>\n<h2>Instruments</h2>\n";
    appendHead(out, {"address", "model", "identity", "host", "scans", "gap events"});
    for (const InstrumentPart& p : r.instruments)
        appendRow(out,
                  {escapeHtml(p.info.address), escapeHtml(p.info.model),
                   escapeHtml(p.info.identity), escapeHtml(p.info.host), std::to_string(p.scans),
                   std::to_string(p.gaps.size())},
                  {false, false, false, false, true, true});
    out += "</table>\n<h2>Charts</h2>\n";

    if (r.scans == 0) {
        out += "<p class=\"note\">No scans in this run";
        out += r.spanAsked ? " between the times asked for.</p>\n" : ".</p>\n";
    } else {
        // One chart per unit, in the order the units first come.
        std::vector<std::string> units;
        for (const Series& s : r.series)
            if (!s.buckets.empty() &&
                std::find(units.begin(), units.end(), s.column.unit) == units.end())
                units.push_back(s.column.unit);
        const auto gapsBefore = gapCounts(r);
        for (const std::string& unit : units) {
            std::vector<std::size_t> members;
            for (std::size_t i = 0; i < r.series.size(); ++i)
                if (r.series[i].column.unit == unit && !r.series[i].buckets.empty())
                    members.push_back(i);
            out += "<h3>" + (unit.empty() ? std::string("no unit") : escapeHtml(unit)) + "</h3>\n";
            appendChart(out, r, members, gapsBefore);
        }
        if (r.series.size() > kMostCharted)
            out += "<p class=\"note\">The channels after the first " +
                   std::to_string(kMostCharted) + " are listed below, not charted.</p>\n";
    }

    out += "<h2>Channels</h2>\n";
    const bool several = r.instruments.size() > 1;
    std::vector<const char*> head = {"channel", "name", "unit"};
    if (several) head.push_back("instrument");
    for (const char* h : {"readings", "overloads", "not taken", "min", "mean", "max"})
        head.push_back(h);
    const std::string first = "first (" + offsetText(r.utcOffset) + ")";
    const std::string last = "last (" + offsetText(r.utcOffset) + ")";
    head.push_back(first.c_str());
    head.push_back(last.c_str());
    head.push_back("alarms");
    appendHead(out, head, "channels");
    for (const Series& s : r.series) {
        const InstrumentPart& p = r.instruments[s.instrument];
        std::vector<std::string> cells = {std::to_string(s.column.channel),
                                          escapeHtml(s.column.name), escapeHtml(s.column.unit)};
        std::vector<bool> numeric = {true, false, false};
        if (several) {
            cells.push_back(escapeHtml(p.info.address));
            numeric.push_back(false);
        }
        const bool any = s.count > 0;
        for (const std::string& c :
             {std::to_string(s.count), std::to_string(s.overloads), std::to_string(s.missing),
              any ? valueText(s.low) : "",
              any ? valueText(s.sum / static_cast<double>(s.count)) : "",
              any ? valueText(s.high) : "", any ? localText(r, s.firstMs) : "",
              any ? localText(r, s.lastMs) : "",
              p.alarmFields == 0 ? std::string("not recorded") : std::to_string(p.alarmScans)}) {
            cells.push_back(c);
            numeric.push_back(true);
        }
        appendRow(out, cells, numeric);
    }
    out += "</table>\n<p class=\"note\">readings: with a value; overloads: beyond the range; not "
           "taken: the instrument had no reading. min, mean and max are of the readings with a "
           "value. alarms: scans whose alarm field is set (the field belongs to the scan, so every "
           "channel of an instrument counts the same scans).</p>\n";

    bool anyGap = false;
    for (const InstrumentPart& p : r.instruments)
        anyGap = anyGap || !p.gaps.empty();
    if (anyGap) {
        out += "<h2>Gap events</h2>\n";
        appendHead(out, {"instrument", "from", "until", "reason", "scans lost"});
        for (const InstrumentPart& p : r.instruments)
            for (const auto& g : p.gaps)
                appendRow(out,
                          {escapeHtml(p.info.address), escapeHtml(g.gap.from),
                           escapeHtml(g.gap.until), escapeHtml(g.gap.reason),
                           std::to_string(g.gap.scansLost)},
                          {false, true, true, false, true});
        out += "</table>\n";
    }
    out += "<footer>Made by korda " KORDA_VERSION " on " + escapeHtml(store::nowIso()) +
           ".</footer>\n</body></html>\n";
    return out;
}

} // namespace korda::tool::report
