#include "engine/entry.h"

#include <algorithm>

namespace zantor::engine {

bool CheckMinusPlacement(std::string_view t) {
  const size_t last = t.rfind('-');
  if (last == std::string_view::npos) return true;
  return last == 0 && t.size() > 1;
}

bool CheckPointCount(std::string_view t) { return t.find('.') == t.rfind('.'); }

bool CheckPointPlacement(std::string_view t) {
  const size_t p = t.find('.');
  if (p == std::string_view::npos) return true;
  if (p == 0 || p == t.size() - 1) return false;
  return t[p + 1] != '-' && t[p - 1] != '-';
}

bool CheckCharacters(std::string_view t) {
  return std::all_of(t.begin(), t.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; });
}

StepMessage ValidateEntry(std::string_view t) {
  if (!CheckCharacters(t)) return StepMessage::kForeignCharacter;
  if (!CheckMinusPlacement(t)) return StepMessage::kMinusPlacement;
  if (!CheckPointCount(t)) return StepMessage::kPointCount;
  if (!CheckPointPlacement(t)) return StepMessage::kPointPlacement;
  return StepMessage::kNone;
}

namespace {

// Puts k '0' nodes directly behind the sign node: the value is unchanged, the
// digits are multiplied by 10^k. Nothing changes when memory runs out.
bool ExtendBy(SignedNumber& n, int k) {
  if (k <= 0) return true;
  DigitNode* first = nullptr;
  DigitNode* last = nullptr;
  for (int i = 0; i < k; ++i) {
    DigitNode* z = NewDigitNode();
    if (z == nullptr) {
      ReleaseChain(first);
      return false;
    }
    if (last == nullptr) {
      first = z;
    } else {
      last->link = z;
    }
    last = z;
  }
  last->link = n.digits();
  n.node()->link = first;
  return true;
}

struct Parsed {
  SignedNumber number;  // empty for a zero entry
  size_t fraction = 0;  // characters after the point
  bool hasPoint = false;
  bool zero = false;
};

// The four opening steps shared by both conversions, then the chain itself.
// `skipPoint` is the addition rule: '.' is skipped along with leading '0's.
Conversion Parse(std::string& text, bool skipPoint, Parsed& out) {
  const size_t s0 = (!text.empty() && text[0] == '-') ? 1 : 0;
  const size_t point = text.find('.');
  const size_t intEnd = point == std::string::npos ? text.size() : point;
  // One integer digit always stays.
  size_t zeros = 0;
  while (s0 + zeros + 1 < intEnd && text[s0 + zeros] == '0') ++zeros;
  text.erase(s0, zeros);

  if (text.size() > kMaxEntryLength) {
    text.clear();
    return Conversion::kTooLong;
  }
  const size_t n = text.size();
  const char sign = s0 == 1 ? '-' : '+';
  if (n == s0) {  // no digit at all; the checks refuse this before we get here
    out.zero = true;
    out.number = SignedNumber::Zero(sign);
    return out.number.empty() ? Conversion::kOutOfMemory : Conversion::kConverted;
  }
  size_t s = s0;
  while (s + 1 < n && (text[s] == '0' || (skipPoint && text[s] == '.'))) ++s;

  out.hasPoint = point != std::string::npos;
  out.fraction = out.hasPoint ? n - 1 - text.find('.') : 0;
  if (text[s] == '0') {
    out.zero = true;
    out.number = SignedNumber::Zero(sign);
    return out.number.empty() ? Conversion::kOutOfMemory : Conversion::kConverted;
  }
  // Least significant first: the last character, then leftwards, points skipped.
  std::string digits;
  digits.reserve(n - s);
  for (size_t i = s; i < n; ++i) {
    if (text[i] >= '0' && text[i] <= '9') digits.push_back(text[i]);
  }
  out.number = SignedNumber::FromDigits(sign, digits);
  return out.number.empty() ? Conversion::kOutOfMemory : Conversion::kConverted;
}

}  // namespace

Conversion ConvertEntryForMultiply(std::string& text, CalcState& state) {
  Parsed p;
  const Conversion c = Parse(text, /*skipPoint=*/false, p);
  if (c != Conversion::kConverted) return c;
  if (p.zero) {
    state.workScale = state.accScale;
  } else {
    const int m = (!p.hasPoint && state.entryMode == 'k') ? 2 : static_cast<int>(p.fraction);
    state.workScale = state.accScale + m;
  }
  state.operand = std::move(p.number);
  return Conversion::kConverted;
}

Conversion ConvertEntryForAddSubtract(std::string& text, CalcState& state, int* accExtension) {
  *accExtension = 0;
  Parsed p;
  const Conversion c = Parse(text, /*skipPoint=*/true, p);
  if (c != Conversion::kConverted) return c;
  if (p.zero) {
    state.workScale = state.accScale;
    state.operand = std::move(p.number);
    return Conversion::kConverted;
  }
  const int acc = state.accScale;
  const bool accZero = state.accumulator.IsZero();
  // The entry's own scale: fast mode reads a whole number as hundredths.
  const int f = p.hasPoint ? static_cast<int>(p.fraction) : (state.entryMode == 'k' ? 2 : 0);
  int extendOperand = 0;
  int extendAcc = 0;
  int work = acc;
  if (!p.hasPoint && state.entryMode == 'z') {
    extendOperand = acc;
  } else if (f < acc) {
    extendOperand = acc - f;
  } else if (f > acc) {
    work = f;
    if (!accZero) extendAcc = f - acc;
  }
  if (!ExtendBy(p.number, extendOperand)) return Conversion::kOutOfMemory;
  if (!ExtendBy(state.accumulator, extendAcc)) return Conversion::kOutOfMemory;
  *accExtension = extendAcc;
  state.workScale = work;
  state.operand = std::move(p.number);
  return Conversion::kConverted;
}

void UndoExtension(SignedNumber& n, int k) {
  DigitNode* sign = n.node();
  for (int i = 0; i < k && sign->link != nullptr && sign->link->link != nullptr; ++i) {
    DigitNode* z = sign->link;
    sign->link = z->link;
    z->link = nullptr;
    ReleaseChain(z);
  }
}

}  // namespace zantor::engine
