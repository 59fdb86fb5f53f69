// Shared helpers for the engine tests: reading chains back as text and a small
// exact decimal written independently of the engine, on plain digit strings.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_state.h"
#include "engine/digit_chain.h"

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
// Magnitudes are strings of digits, most significant first, without leading
// zeros ("0" for zero). Nothing here shares code with the engine.

inline std::string StripZeros(std::string m) {
  const size_t first = m.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  return m.substr(first);
}

inline int CmpMag(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

inline std::string AddMag(const std::string& a, const std::string& b) {
  std::string out;
  int carry = 0;
  for (size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
    int v = carry;
    if (i < a.size()) v += a[a.size() - 1 - i] - '0';
    if (i < b.size()) v += b[b.size() - 1 - i] - '0';
    out.push_back(static_cast<char>('0' + v % 10));
    carry = v / 10;
  }
  std::reverse(out.begin(), out.end());
  return StripZeros(out);
}

// a >= b
inline std::string SubMag(const std::string& a, const std::string& b) {
  std::string out;
  int borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int v = (a[a.size() - 1 - i] - '0') - borrow;
    if (i < b.size()) v -= b[b.size() - 1 - i] - '0';
    borrow = v < 0 ? 1 : 0;
    out.push_back(static_cast<char>('0' + v + 10 * borrow));
  }
  std::reverse(out.begin(), out.end());
  return StripZeros(out);
}

inline std::string MulMag(const std::string& a, const std::string& b) {
  std::vector<int> acc(a.size() + b.size(), 0);
  for (size_t i = 0; i < a.size(); ++i) {
    for (size_t j = 0; j < b.size(); ++j) {
      acc[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    }
  }
  for (size_t k = acc.size(); k-- > 1;) {
    acc[k - 1] += acc[k] / 10;
    acc[k] %= 10;
  }
  std::string out;
  for (int v : acc) out.push_back(static_cast<char>('0' + v));
  return StripZeros(out);
}

// A signed decimal: value = (neg ? -1 : 1) * mag / 10^scale.
struct RefDecimal {
  bool neg = false;
  std::string mag = "0";
  int scale = 0;

  bool IsZero() const { return mag == "0"; }

  RefDecimal WithScale(int s) const {
    RefDecimal r = *this;
    if (s > scale && !IsZero()) r.mag.append(static_cast<size_t>(s - scale), '0');
    r.scale = std::max(s, scale);
    return r;
  }

  friend RefDecimal operator+(const RefDecimal& x, const RefDecimal& y) {
    const int s = std::max(x.scale, y.scale);
    const RefDecimal a = x.WithScale(s);
    const RefDecimal b = y.WithScale(s);
    RefDecimal r;
    r.scale = s;
    if (a.neg == b.neg) {
      r.neg = a.neg;
      r.mag = AddMag(a.mag, b.mag);
    } else if (CmpMag(a.mag, b.mag) >= 0) {
      r.neg = a.neg;
      r.mag = SubMag(a.mag, b.mag);
    } else {
      r.neg = b.neg;
      r.mag = SubMag(b.mag, a.mag);
    }
    return r;
  }
  RefDecimal operator-() const {
    RefDecimal r = *this;
    r.neg = !neg;
    return r;
  }
  friend RefDecimal operator-(const RefDecimal& x, const RefDecimal& y) { return x + (-y); }
  friend RefDecimal operator*(const RefDecimal& x, const RefDecimal& y) {
    RefDecimal r;
    r.neg = x.neg != y.neg;
    r.mag = MulMag(x.mag, y.mag);
    r.scale = x.scale + y.scale;
    return r;
  }

  // Shortest form: trailing fractional zeros dropped, zero at scale 0.
  RefDecimal Normalized() const {
    RefDecimal r = *this;
    while (r.scale > 0 && r.mag.size() > 1 && r.mag.back() == '0') {
      r.mag.pop_back();
      --r.scale;
    }
    if (r.IsZero()) r.scale = 0;
    return r;
  }

  // As the result field shows a total: grouped, no sign on zero.
  std::string Display() const {
    const RefDecimal n = Normalized();
    std::string digits = n.mag;
    const size_t frac = static_cast<size_t>(n.scale);
    if (digits.size() <= frac) digits.insert(0, frac + 1 - digits.size(), '0');
    const std::string whole = digits.substr(0, digits.size() - frac);
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
      if (i != 0 && (whole.size() - i) % 3 == 0) grouped.push_back(',');
      grouped.push_back(whole[i]);
    }
    std::string out = (n.neg && !n.IsZero()) ? "-" : "";
    out += grouped;
    if (frac > 0) out += "." + digits.substr(digits.size() - frac);
    return out;
  }
};

// The value a well-formed entry stands for: in fast mode a whole number is
// hundredths, a number with a point is taken at face value.
inline RefDecimal EntryValue(std::string_view entry, char mode) {
  RefDecimal r;
  if (!entry.empty() && entry[0] == '-') {
    r.neg = true;
    entry.remove_prefix(1);
  }
  const size_t point = entry.find('.');
  std::string digits;
  for (char c : entry) {
    if (c != '.') digits.push_back(c);
  }
  r.mag = StripZeros(digits);
  if (point != std::string_view::npos) {
    r.scale = static_cast<int>(entry.size() - point - 1);
  } else {
    r.scale = mode == 'k' ? 2 : 0;
  }
  return r;
}

}  // namespace zantor::engine::testing
