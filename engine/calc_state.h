// The calculator's registers. Between steps: the accumulator is canonical with
// accScale fractional digits, the operand is a zero, pendingOp is '+', '-' or
// '*', entryMode is 'k' (fast: whole numbers are hundredths) or 'z' (normal).
#pragma once

#include "engine/digit_chain.h"

namespace zantor::engine {

struct CalcState {
  SignedNumber accumulator = SignedNumber::Zero();
  SignedNumber operand = SignedNumber::Zero();
  int accScale = 0;
  int workScale = 0;
  char pendingOp = '+';
  char entryMode = 'k';
};

// The operand and then the accumulator become zeros that keep their signs.
void ReleaseChains(CalcState& state);

// The zero-result command's reset: chains released, both scales 0.
void ZeroResult(CalcState& state);

}  // namespace zantor::engine
