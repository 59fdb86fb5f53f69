#include "engine/step.h"

#include <new>

#include "engine/entry.h"
#include "engine/format.h"

namespace zantor::engine {

void ReleaseChains(CalcState& state) {
  ReduceToZero(state.operand);
  ReduceToZero(state.accumulator);
}

void ZeroResult(CalcState& state) {
  ReleaseChains(state);
  state.accScale = 0;
  state.workScale = 0;
}

namespace {

// Drops trailing fractional zeros from the total's least significant end,
// keeping the digits and the scale in step with each other.
void DropFractionalZeros(SignedNumber& n, int& scale) {
  DigitNode* sign = n.node();
  while (scale > 0 && sign->link->link != nullptr && sign->link->character == '0') {
    DigitNode* z = sign->link;
    sign->link = z->link;
    z->link = nullptr;
    ReleaseChain(z);
    --scale;
  }
}

StepResult Refuse(StepMessage m) {
  StepResult r;
  r.status = StepResult::Status::kRefused;
  r.message = m;
  return r;
}

}  // namespace

StepResult EvaluateStep(CalcState& state, std::string_view entryText) {
  if (entryText.empty()) return {};
  if (const StepMessage m = ValidateEntry(entryText); m != StepMessage::kNone) return Refuse(m);

  const int oldWorkScale = state.workScale;
  int accExtension = 0;
  // Out of memory, for a node or for a text: the registers go back to what
  // they were before the step.
  auto giveUp = [&state, &accExtension, oldWorkScale] {
    UndoExtension(state.accumulator, accExtension);
    ReduceToZero(state.operand);
    state.workScale = oldWorkScale;
    return Refuse(StepMessage::kOutOfMemory);
  };
  try {
    std::string entry(entryText);
    SignedNumber result;
    Conversion c;
    if (state.pendingOp == '*') {
      c = ConvertEntryForMultiply(entry, state);
      if (c == Conversion::kConverted) result = SignedMultiply(state.accumulator, state.operand);
    } else {
      c = ConvertEntryForAddSubtract(entry, state, &accExtension);
      if (c == Conversion::kConverted) {
        const int k = CompareMagnitudes(state.accumulator, state.operand);
        result = state.pendingOp == '-' ? SignedSubtract(state.accumulator, state.operand, k)
                                        : SignedAdd(state.accumulator, state.operand, k);
      }
    }
    if (c == Conversion::kTooLong) return Refuse(StepMessage::kTooLong);
    if (c == Conversion::kOutOfMemory || result.empty()) return giveUp();

    StepResult r;
    r.status = StepResult::Status::kDone;
    r.row.oP = state.pendingOp;
    r.row.fdata = state.entryMode == 'k' ? FastModeForm(entry) : entry;
    r.row.mdata = GroupThousands(r.row.fdata);

    TrimLeadingZeros(result);
    int scale = state.workScale;
    DropFractionalZeros(result, scale);
    if (result.IsZero()) scale = 0;
    r.row.re = FormatTotal(result, scale);
    // Every text is built: from here on nothing allocates, and the registers
    // take the new total.
    state.accumulator = std::move(result);
    ReduceToZero(state.operand);
    state.workScale = scale;
    state.accScale = scale;
    return r;
  } catch (const std::bad_alloc&) {
    return giveUp();
  }
}

void RestoreAccumulator(CalcState& state, int pos, std::string_view resu) {
  SignedNumber n = SignedNumber::Zero();
  if (n.empty()) return;
  size_t i = 0;
  if (!resu.empty() && resu[0] == '-') {
    n.set_sign('-');
    i = 1;
  }
  while (i + 1 < resu.size() && (resu[i] == '0' || resu[i] == '.')) ++i;
  std::string digits;
  digits.reserve(resu.size());
  for (; i < resu.size(); ++i) {
    if (resu[i] >= '0' && resu[i] <= '9') digits.push_back(resu[i]);
  }
  if (!digits.empty()) {
    SignedNumber built = SignedNumber::FromDigits(n.sign(), digits);
    if (built.empty()) return;
    n = std::move(built);
  }
  // A saved text such as "0,001" would otherwise leave a leading zero node.
  TrimLeadingZeros(n);
  state.accumulator = std::move(n);
  state.accScale = pos > 0 ? pos : 0;
}

}  // namespace zantor::engine
