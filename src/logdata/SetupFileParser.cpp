#include "logdata/SetupFileParser.h"

#include "core/Text.h"
#include "logdata/SetupRows.h"

#include <vector>

namespace korda32ex::logdata {

namespace {

enum class Section { None, TestSetup, Instrument, Analog, Math, Other };

Section sectionNamed(std::string_view name) {
    if (name == "Test Setup") return Section::TestSetup;
    if (name == "Instrument") return Section::Instrument;
    if (name == "Analog Channels") return Section::Analog;
    if (name == "Math Channels") return Section::Math;
    return Section::Other;
}

// Walks the lines of a setup text and hands every data row (row 2 onward of a
// section; row 1 holds the column titles) to visit(section, row). visit
// returns false to stop the walk.
template <class Visit>
void walkDataRows(const std::vector<std::string_view>& lines, Visit&& visit) {
    Section section = Section::None;
    int rowNumber = 0;
    std::vector<std::string_view> cells;
    for (const std::string_view line : lines) {
        splitAt(line, ',', cells);
        std::size_t filled = 0;
        std::string_view firstFilled;
        for (const std::string_view c : cells)
            if (!c.empty() && filled++ == 0) firstFilled = c;
        // A line of empty cells only (an empty line, or one that a CSV writer
        // padded with commas) changes nothing.
        if (filled == 0) continue;
        // One filled cell names a section; the padding commas of CSV writers
        // make "Test Setup," such a line.
        if (filled == 1) {
            section = sectionNamed(firstFilled);
            rowNumber = 0;
            continue;
        }
        // Two cells (the instrument's no-error line at the end of a fetched
        // text, among others) are not a row.
        if (cells.size() < 3) continue;
        ++rowNumber;
        if (rowNumber < 2 || section == Section::None || section == Section::Other) continue;
        if (!visit(section, Row(cells))) return;
    }
}

} // namespace

std::string_view normalizeModel(std::string_view cell) {
    return modelNamedIn(cell, true).name;
}

bool parseSetupText(std::string_view text, VmrInstConfig& record) {
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.size() < 2) return false;

    // The first "Instrument" data row names the model. It decides the column
    // positions of the whole file, wherever that row stands in it.
    const ModelTraits* model = &kUnidentifiedModel;
    walkDataRows(lines, [&](Section section, const Row& row) {
        if (section != Section::Instrument) return true;
        model = &modelNamedIn(row[1], true);
        return false;
    });

    walkDataRows(lines, [&](Section section, const Row& row) {
        switch (section) {
        case Section::TestSetup:
            applyTestSetupRow(row, *model, record);
            break;
        case Section::Analog:
            applyAnalogRow(row, *model, record);
            break;
        case Section::Math:
            applyMathRow(row, record);
            break;
        default:
            break;
        }
        return true;
    });
    return true;
}

} // namespace korda32ex::logdata
