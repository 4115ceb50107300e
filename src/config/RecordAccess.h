// Addressing inside the configuration record: channel numbers, channel
// records by slot and index, the model code of the build in progress.
#pragma once

#include "core/Models.h"
#include "korda32ext.h"

#include <cstdint>

namespace korda32ex {

inline constexpr int kChannel1Slot = -1;
inline constexpr int kComputedSlot = 4;

// The SCPI channel number: 1 for channel 1 (slot -1), else 100*slot + 101 + index.
inline int channelNumber(int slot, int index) {
    return slot == -1 ? 1 : 100 * slot + 101 + index;
}

// Maps a three-digit channel number s·mm back to module area s-1 and channel
// index mm-1. Returns false when the number is not of that form or lies
// outside the record.
inline bool channelFromNumber(int number, int& area, int& index) {
    if (number < 100 || number > 999) return false;
    area = number / 100 - 1;
    index = number % 100 - 1;
    return area >= 0 && area < VMR_MODULE_AREAS && index >= 0 && index < VMR_CHANNELS_PER_AREA;
}

// The channel record of slot (-1 = channel 1, 0..5 = module areas) and index
// (0..21); null when outside the record.
inline const ChannelRecord* channelRecord(const VmrInstConfig& r, int slot, int index) {
    if (slot == -1) return &r.channel1;
    if (slot < 0 || slot >= VMR_MODULE_AREAS || index < 0 || index >= VMR_CHANNELS_PER_AREA)
        return nullptr;
    return &r.modules[slot].channels[index];
}
inline ChannelRecord* channelRecord(VmrInstConfig& r, int slot, int index) {
    return const_cast<ChannelRecord*>(
        channelRecord(static_cast<const VmrInstConfig&>(r), slot, index));
}

// The computed channel record i (0..19); null when outside the record.
inline const ComputedChannelRecord* computedRecord(const VmrInstConfig& r, int index) {
    return index >= 0 && index < VMR_COMPUTED_CHANNELS ? &r.computed[index] : nullptr;
}
inline ComputedChannelRecord* computedRecord(VmrInstConfig& r, int index) {
    return index >= 0 && index < VMR_COMPUTED_CHANNELS ? &r.computed[index] : nullptr;
}

// Function codes of computed channels (ComputedChannelRecord.function): the
// polynomial 0x5000 up to the sum 0x500E, in the order of the instrument's
// function words.
inline constexpr std::uint32_t kComputedPolynomial = 0x5000;
inline constexpr std::uint32_t kComputedPower = 0x5002;
inline constexpr std::uint32_t kComputedSubtract = 0x5007; // the first of two operands
inline constexpr std::uint32_t kComputedDivide = 0x500A;   // the last with operands
inline constexpr std::uint32_t kComputedAverage = 0x500B;  // the first over a channel list
inline constexpr std::uint32_t kComputedSum = 0x500E;      // the last function

// True when a computed channel of function f reads operand A, operand B, a
// channel list.
inline bool usesOperandA(std::uint32_t f) {
    return f >= kComputedPolynomial && f <= kComputedDivide;
}
inline bool usesOperandB(std::uint32_t f) {
    return f >= kComputedSubtract && f <= kComputedDivide;
}
inline bool usesChannelList(std::uint32_t f) {
    return f >= kComputedAverage && f <= kComputedSum;
}
// True when f is the code of an analog or a computed channel's function.
inline bool isAnalogFunction(std::uint32_t f) {
    return f >= VMR_FUNC_DC_VOLTS && f <= VMR_FUNC_FREQUENCY;
}
inline bool isKnownFunction(std::uint32_t f) {
    return f >= VMR_FUNC_DC_VOLTS && f <= kComputedSum;
}

// True when the module area's channels take part (module present).
inline bool modulePresent(const VmrInstConfig& r, int slot) {
    return slot == -1 || (slot >= 0 && slot < VMR_MODULE_AREAS &&
                          r.modules[slot].moduleState != VMR_MODULE_ABSENT);
}

// The model of the instrument whose processor tree is being built on this
// thread. Each build sets it for its own duration, so two instruments
// configured at once on different threads never see each other's model.
const ModelTraits& currentModel();

// Sets currentModel (by its code) for the lifetime of the scope and restores it after.
class ModelCodeScope {
  public:
    explicit ModelCodeScope(int model);
    ~ModelCodeScope();
    ModelCodeScope(const ModelCodeScope&) = delete;
    ModelCodeScope& operator=(const ModelCodeScope&) = delete;

  private:
    int previous_;
};

} // namespace korda32ex
