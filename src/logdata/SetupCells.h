// Reading the cells of a setup-file row: channel addresses, numbers, texts
// and switches. Every accessor tolerates a missing cell.
#pragma once

#include "korda32ext.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace korda32ex::logdata {

inline constexpr std::string_view kNotApplicable = "(n/a)";

// A channel address cell: two leading characters, then a digit s and the two
// digits nn ("Ch101": s = 1, nn = 1).
struct ChannelAddress {
    int s;
    int nn;
    int number() const { return 100 * s + nn; }
};

// The address of a cell of at least five characters with digits at positions
// 2 to 4; none otherwise.
std::optional<ChannelAddress> parseChannelAddress(std::string_view cell);

// A number cell, read with the classic "C" rules whatever the locale: 0 when
// the cell does not start with a number.
double cellNumber(std::string_view cell);
// A number cell where "(n/a)" stands for notApplicable.
double cellNumberOr(std::string_view cell, double notApplicable);

// A switch cell: "ON", "USB" and "1" mean on, any other text off.
bool cellSwitch(std::string_view cell);

// Stores a text cell into a 16-bit record text: converted from the narrow
// code page, cut to the field's 256 units with its terminator (never inside a
// surrogate pair); "(n/a)" gives an empty text.
void storeCellText(std::string_view cell, VmrChar16 (&field)[VMR_TEXT_UNITS]);

// The cells of one row, numbered from 0.
class Row {
  public:
    explicit Row(const std::vector<std::string_view>& cells) : cells_(cells) {}
    std::size_t size() const { return cells_.size(); }
    bool has(std::size_t i) const { return i < cells_.size(); }
    // The cell, or the empty text when the row is shorter.
    std::string_view operator[](std::size_t i) const {
        return has(i) ? cells_[i] : std::string_view();
    }

  private:
    const std::vector<std::string_view>& cells_;
};

} // namespace korda32ex::logdata
