// The fifteen children of a computed channel, each carrying one setting of the
// computed channel record. Every child is also usable on its own, built with
// (slot, index) like its composite.
#pragma once

#include "channels/ComputedChannelProcessor.h"

namespace korda32ex {

// ---- Function and operands --------------------------------------------------

class CompChannelFunctionProcessor final : public ComputedChannelProcessor {
  public:
    CompChannelFunctionProcessor(int slot, int index)
        : ComputedChannelProcessor(slot, index, Child{}) {}
    KORDA_LEAF_OPERATIONS
};

// Operand A ("ACH", functions with one or two operands) or B ("BCH", functions
// with two operands).
class CompOperandProcessor : public ComputedChannelProcessor {
  public:
    KORDA_LEAF_OPERATIONS

  protected:
    CompOperandProcessor(int slot, int index, bool operandB)
        : ComputedChannelProcessor(slot, index, Child{}), operandB_(operandB) {}

  private:
    bool operandB_;
};

class CompAChannelProcessor final : public CompOperandProcessor {
  public:
    CompAChannelProcessor(int slot, int index) : CompOperandProcessor(slot, index, false) {}
};

class CompBChannelProcessor final : public CompOperandProcessor {
  public:
    CompBChannelProcessor(int slot, int index) : CompOperandProcessor(slot, index, true) {}
};

class CompChannelPolyCoeffProcessor final : public ComputedChannelProcessor {
  public:
    CompChannelPolyCoeffProcessor(int slot, int index)
        : ComputedChannelProcessor(slot, index, Child{}) {}
    KORDA_LEAF_OPERATIONS
};

class CompSelectedChannelsProcessor final : public ComputedChannelProcessor {
  public:
    CompSelectedChannelsProcessor(int slot, int index)
        : ComputedChannelProcessor(slot, index, Child{}) {}
    KORDA_LEAF_OPERATIONS
};

// ---- Alarms -----------------------------------------------------------------

// Alarm state (LOW / HIGH / OFF) of alarm 1 or 2.
class CompAlarmFunctionProcessor : public ComputedChannelProcessor {
  public:
    KORDA_LEAF_OPERATIONS

  protected:
    CompAlarmFunctionProcessor(int slot, int index, int alarm)
        : ComputedChannelProcessor(slot, index, Child{}), alarm_(alarm) {}

  private:
    int alarm_;
};

class CompFirstAlarmFunctionProcessor final : public CompAlarmFunctionProcessor {
  public:
    CompFirstAlarmFunctionProcessor(int slot, int index)
        : CompAlarmFunctionProcessor(slot, index, 1) {}
};

class CompSecondAlarmFunctionProcessor final : public CompAlarmFunctionProcessor {
  public:
    CompSecondAlarmFunctionProcessor(int slot, int index)
        : CompAlarmFunctionProcessor(slot, index, 2) {}
};

// Limit of alarm 1 or 2.
class CompAlarmLimitProcessor : public ComputedChannelProcessor {
  public:
    KORDA_LEAF_OPERATIONS

  protected:
    CompAlarmLimitProcessor(int slot, int index, int alarm)
        : ComputedChannelProcessor(slot, index, Child{}), alarm_(alarm) {}

  private:
    int alarm_;
};

class CompFirstAlarmLimitProcessor final : public CompAlarmLimitProcessor {
  public:
    CompFirstAlarmLimitProcessor(int slot, int index) : CompAlarmLimitProcessor(slot, index, 1) {}
};

class CompSecondAlarmLimitProcessor final : public CompAlarmLimitProcessor {
  public:
    CompSecondAlarmLimitProcessor(int slot, int index) : CompAlarmLimitProcessor(slot, index, 2) {}
};

// Digital output of alarm 1 or 2.
class CompAlarmIOProcessor : public ComputedChannelProcessor {
  public:
    KORDA_LEAF_OPERATIONS

  protected:
    CompAlarmIOProcessor(int slot, int index, int alarm)
        : ComputedChannelProcessor(slot, index, Child{}), alarm_(alarm) {}

  private:
    int alarm_;
};

class CompFirstAlarmIOProcessor final : public CompAlarmIOProcessor {
  public:
    CompFirstAlarmIOProcessor(int slot, int index) : CompAlarmIOProcessor(slot, index, 1) {}
};

class CompSecondAlarmIOProcessor final : public CompAlarmIOProcessor {
  public:
    CompSecondAlarmIOProcessor(int slot, int index) : CompAlarmIOProcessor(slot, index, 2) {}
};

// ---- Scaling, unit and name -------------------------------------------------

class CompFactorMProcessor final : public ComputedChannelProcessor {
  public:
    CompFactorMProcessor(int slot, int index) : ComputedChannelProcessor(slot, index, Child{}) {}
    KORDA_LEAF_OPERATIONS
};

class CompFactorBProcessor final : public ComputedChannelProcessor {
  public:
    CompFactorBProcessor(int slot, int index) : ComputedChannelProcessor(slot, index, Child{}) {}
    KORDA_LEAF_OPERATIONS
};

// Unit or name text: sent, never read back (the reply line is dropped).
class CompTextProcessor : public ComputedChannelProcessor {
  public:
    KORDA_LEAF_OPERATIONS

  protected:
    CompTextProcessor(int slot, int index, bool unit)
        : ComputedChannelProcessor(slot, index, Child{}), unit_(unit) {}

  private:
    bool unit_;
};

class CompUnitProcessor final : public CompTextProcessor {
  public:
    CompUnitProcessor(int slot, int index) : CompTextProcessor(slot, index, true) {}
};

class CompNameProcessor final : public CompTextProcessor {
  public:
    CompNameProcessor(int slot, int index) : CompTextProcessor(slot, index, false) {}
};

} // namespace korda32ex
