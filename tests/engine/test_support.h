// Shared helpers for the engine tests: reading chains back as text, and the
// reference arithmetic they are checked against.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_state.h"
#include "engine/digit_chain.h"
#include "fuzz/exact_decimal.h"

namespace zantor::engine::testing {

// Every node's character, most significant first, leading zero nodes kept.
// Characters outside '0'..'9' come through as they are, so a stray borrow
// marker or an unnormalised carry makes the comparison fail.
inline std::string ChainText(const DigitNode* d) {
  std::string s;
  for (; d != nullptr; d = d->link) s.push_back(static_cast<char>(d->character));
  std::reverse(s.begin(), s.end());
  return s;
}

inline size_t ChainLength(const DigitNode* d) {
  size_t n = 0;
  for (; d != nullptr; d = d->link) ++n;
  return n;
}

// Sign followed by the digits, e.g. "-0408".
inline std::string NumberText(const SignedNumber& n) {
  return std::string(1, n.sign()) + ChainText(n.digits());
}

inline SignedNumber Num(std::string_view signedDigits) {
  if (!signedDigits.empty() && (signedDigits[0] == '-' || signedDigits[0] == '+')) {
    return SignedNumber::FromDigits(signedDigits[0], signedDigits.substr(1));
  }
  return SignedNumber::FromDigits('+', signedDigits);
}

// Registers as if a run had left the total `digits` at `scale` behind.
inline void SetTotal(CalcState& s, std::string_view signedDigits, int scale) {
  s.accumulator = Num(signedDigits);
  s.accScale = scale;
}

// --- Reference arithmetic -------------------------------------------------
// The fuzzers' exact decimal, on plain digit strings: it shares nothing with
// the engine, and one copy serves the tests and the fuzzers alike.
using RefDecimal = fuzz::Decimal;

// Magnitudes: digit strings, most significant first.
inline std::string StripZeros(const std::string& m) { return fuzz::Normalised(false, m, 0).digits; }
inline fuzz::Decimal Whole(const std::string& m) { return fuzz::Normalised(false, m, 0); }
inline std::string AddMag(const std::string& a, const std::string& b) {
  return fuzz::Add(Whole(a), Whole(b)).digits;
}
// a >= b
inline std::string SubMag(const std::string& a, const std::string& b) {
  return fuzz::Subtract(Whole(a), Whole(b)).digits;
}
inline std::string MulMag(const std::string& a, const std::string& b) {
  return fuzz::Multiply(Whole(a), Whole(b)).digits;
}
inline int CmpMag(const std::string& a, const std::string& b) {
  const fuzz::Decimal d = fuzz::Subtract(Whole(a), Whole(b));
  return d.IsZero() ? 0 : (d.negative ? -1 : 1);
}

// The value a well-formed entry stands for: in fast mode ('k') a whole
// number is hundredths, a number with a point is taken at face value.
inline RefDecimal EntryValue(std::string_view entry, char mode) {
  return fuzz::EntryValue(entry, mode == 'k');
}

}  // namespace zantor::engine::testing
