// The entry checks and both conversions on any text at all, against any
// canonical total. The checks together must accept exactly the number texts
// -?D+(.D+)?; a conversion may refuse or misread a text the checks refuse,
// but must never break the accumulator; on a text they accept it must give
// the entry's value and keep the accumulator's value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/calc_state.h"
#include "engine/entry.h"
#include "exact_decimal.h"
#include "fuzz_support.h"
#include "node_heap_check.h"

namespace zantor::fuzz {
namespace {

using engine::CalcState;
using engine::Conversion;

std::string CanonicalDigits(ByteReader& in) {
  std::string d = in.Bytes(48);
  for (char& c : d) c = static_cast<char>('0' + static_cast<uint8_t>(c) % 10);
  const size_t first = d.find_first_not_of('0');
  return first == std::string::npos ? "0" : d.substr(first);
}

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return !s.empty();
}

bool Canonical(std::string_view digits) {
  return AllDigits(digits) && (digits.size() == 1 || digits.front() != '0');
}

void CheckValidation(std::string_view text) {
  const bool each = engine::CheckCharacters(text) && engine::CheckMinusPlacement(text) &&
                    engine::CheckPointCount(text) && engine::CheckPointPlacement(text);
  const bool all = engine::ValidateEntry(text) == engine::StepMessage::kNone;
  Require(each == all, "ValidateEntry and the single checks disagree", text);
  // The step ignores an empty entry before it asks the checks.
  Require(all == (text.empty() || IsNumberText(text)),
          "the checks do not accept exactly the number texts", text);
}

struct Setup {
  char sign;
  std::string digits;
  int accScale;
  char mode;
};

CalcState MakeState(const Setup& s) {
  CalcState state;
  state.accumulator = engine::SignedNumber::FromDigits(s.sign, s.digits);
  state.accScale = s.accScale;
  state.entryMode = s.mode;
  state.workScale = -7;  // nothing may read it before a conversion sets it
  return state;
}

std::string Context(const Setup& s, std::string_view text, const char* which) {
  return std::string(which) + " text '" + std::string(text) + "' acc " + s.sign + s.digits +
         " scale " + std::to_string(s.accScale) + " mode " + s.mode;
}

void CheckMultiply(const Setup& setup, const std::string& original) {
  CalcState state = MakeState(setup);
  std::string text = original;
  const Conversion c = engine::ConvertEntryForMultiply(text, state);
  const std::string context = Context(setup, original, "multiply") + " -> '" + text + "'";
  Require(state.accumulator.DigitsText() == setup.digits && state.accScale == setup.accScale,
          "the multiply conversion touched the accumulator", context);
  if (c == Conversion::kTooLong) {
    Require(text.empty(), "a refused entry kept its text", context);
    Require(state.workScale == -7 && state.operand.DigitsText() == "0",
            "a refused entry changed the operand or the scale", context);
    return;
  }
  Require(c == Conversion::kConverted, "out of memory without a node budget", context);
  Require(state.workScale >= state.accScale, "the product's scale shrank", context);
  if (!IsNumberText(original)) return;
  Require(text.size() <= engine::kMaxEntryLength, "a long entry was converted", context);
  Require(text == BareEntry(original, false), "the leading zeros went wrong", context);
  const std::string digits = state.operand.DigitsText();
  Require(AllDigits(digits), "the operand holds a non-digit", context + " operand " + digits);
  const Decimal got =
      Normalised(state.operand.sign() == '-', digits, state.workScale - state.accScale);
  const Decimal want = EntryValue(original, setup.mode == 'k');
  Require(got.digits == want.digits && got.scale == want.scale && got.negative == want.negative,
          "the multiplier has another value", context + " operand " + digits);
}

void CheckAddSubtract(const Setup& setup, const std::string& original) {
  CalcState state = MakeState(setup);
  std::string text = original;
  int extension = -1;
  const Conversion c = engine::ConvertEntryForAddSubtract(text, state, &extension);
  const std::string acc = state.accumulator.DigitsText();
  const std::string context = Context(setup, original, "add") + " -> '" + text + "' acc " + acc +
                              " extension " + std::to_string(extension);
  Require(state.accScale == setup.accScale, "the conversion changed accScale", context);
  Require(Canonical(acc), "the accumulator is no longer canonical", context);
  if (c == Conversion::kTooLong) {
    Require(text.empty(), "a refused entry kept its text", context);
    Require(acc == setup.digits && state.workScale == -7 && state.operand.DigitsText() == "0",
            "a refused entry changed a register", context);
    return;
  }
  Require(c == Conversion::kConverted, "out of memory without a node budget", context);
  Require(extension >= 0 && state.workScale >= state.accScale, "a scale shrank", context);
  // The accumulator keeps its value at the new scale.
  if (setup.digits == "0") {
    Require(acc == "0" && extension == 0, "a zero accumulator was extended", context);
  } else {
    Require(state.workScale - state.accScale == extension &&
                acc == setup.digits + std::string(static_cast<size_t>(extension), '0'),
            "the accumulator changed its value", context);
  }
  engine::UndoExtension(state.accumulator, extension);
  Require(state.accumulator.DigitsText() == setup.digits, "the extension was not undone", context);

  if (!IsNumberText(original)) return;
  Require(text == BareEntry(original, false), "the leading zeros went wrong", context);
  const std::string digits = state.operand.DigitsText();
  Require(Canonical(digits), "the addend is not canonical", context + " operand " + digits);
  const Decimal got = Normalised(state.operand.sign() == '-', digits, state.workScale);
  const Decimal want = EntryValue(original, setup.mode == 'k');
  Require(got.digits == want.digits && got.scale == want.scale && got.negative == want.negative,
          "the addend has another value", context + " operand " + digits);
}

}  // namespace
}  // namespace zantor::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zantor::fuzz::RequireNodesFromHeap();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zantor::fuzz;
  ByteReader in(data, size);
  const uint8_t flags = in.Byte();
  Setup setup;
  setup.sign = (flags & 1) ? '-' : '+';
  setup.mode = (flags & 2) ? 'k' : 'z';
  setup.accScale = (flags >> 2) % 8;
  setup.digits = CanonicalDigits(in);
  const std::string text = in.Rest();

  CheckValidation(text);
  CheckMultiply(setup, text);
  CheckAddSubtract(setup, text);
  return 0;
}
