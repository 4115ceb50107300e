// The virtual instrument's clock commands, digital I/O byte, totalizer
// clearing, OEM identity text and front-panel key lock.
#pragma once

#include <cstdint>
#include <string>

namespace korda::sim {

class CommandTable;
class Instrument;

struct DirectState {
    static constexpr std::size_t kOemIdentityMax = 63;

    int digitalByte = 255;                 // "SOUR:DIG:DATA:BYTE": all lines high at power-on
    std::string oemIdentity = "KORDA-SIM"; // kept in flash: survives *RST
    bool keysLocked = false;               // "SYST:KLOC"

    // What *RST restores.
    void reset() {
        digitalByte = 255;
        keysLocked = false;
    }
};

void registerDirectCommands(CommandTable& table);

// Test control: adds counts to the totalizer (takes the instrument's lock).
void addTotalizerCounts(Instrument& instrument, std::uint32_t counts);

} // namespace korda::sim
