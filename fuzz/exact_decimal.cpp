#include "exact_decimal.h"

#include <algorithm>
#include <vector>

namespace zantor::fuzz {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string StripLeadingZeros(std::string s) {
  const size_t first = s.find_first_not_of('0');
  return first == std::string::npos ? "0" : s.substr(first);
}

// Magnitudes below are digit strings without leading zeros.
int CompareMagnitude(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::string AddMagnitude(const std::string& a, const std::string& b) {
  std::string out;
  int carry = 0;
  for (size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
    int s = carry;
    if (i < a.size()) s += a[a.size() - 1 - i] - '0';
    if (i < b.size()) s += b[b.size() - 1 - i] - '0';
    out.push_back(static_cast<char>('0' + s % 10));
    carry = s / 10;
  }
  std::reverse(out.begin(), out.end());
  return StripLeadingZeros(out);
}

// a >= b
std::string SubtractMagnitude(const std::string& a, const std::string& b) {
  std::string out;
  int borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int t = (a[a.size() - 1 - i] - '0') - borrow;
    if (i < b.size()) t -= b[b.size() - 1 - i] - '0';
    borrow = t < 0 ? 1 : 0;
    out.push_back(static_cast<char>('0' + t + 10 * borrow));
  }
  std::reverse(out.begin(), out.end());
  return StripLeadingZeros(out);
}

// Both numbers at the larger of the two scales.
void Align(const Decimal& a, const Decimal& b, std::string& da, std::string& db, int& scale) {
  scale = std::max(a.scale, b.scale);
  da = a.IsZero() ? a.digits : a.digits + std::string(static_cast<size_t>(scale - a.scale), '0');
  db = b.IsZero() ? b.digits : b.digits + std::string(static_cast<size_t>(scale - b.scale), '0');
}

Decimal SignedSum(bool negA, const std::string& a, bool negB, const std::string& b, int scale) {
  if (negA == negB) return Normalised(negA, AddMagnitude(a, b), scale);
  if (CompareMagnitude(a, b) >= 0) return Normalised(negA, SubtractMagnitude(a, b), scale);
  return Normalised(negB, SubtractMagnitude(b, a), scale);
}

}  // namespace

Decimal Normalised(bool negative, std::string digits, int scale) {
  digits = StripLeadingZeros(std::move(digits));
  while (scale > 0 && digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
    --scale;
  }
  Decimal d;
  d.digits = digits;
  d.scale = digits == "0" ? 0 : scale;
  d.negative = digits == "0" ? false : negative;
  return d;
}

Decimal Add(const Decimal& a, const Decimal& b) {
  std::string da, db;
  int scale = 0;
  Align(a, b, da, db, scale);
  return SignedSum(a.negative, da, b.negative, db, scale);
}

Decimal Subtract(const Decimal& a, const Decimal& b) {
  std::string da, db;
  int scale = 0;
  Align(a, b, da, db, scale);
  return SignedSum(a.negative, da, !b.negative, db, scale);
}

Decimal Multiply(const Decimal& a, const Decimal& b) {
  std::vector<int> acc(a.digits.size() + b.digits.size(), 0);
  for (size_t i = 0; i < a.digits.size(); ++i) {
    for (size_t j = 0; j < b.digits.size(); ++j) {
      acc[i + j + 1] += (a.digits[i] - '0') * (b.digits[j] - '0');
    }
  }
  for (size_t k = acc.size(); k-- > 1;) {
    acc[k - 1] += acc[k] / 10;
    acc[k] %= 10;
  }
  std::string digits;
  for (int v : acc) digits.push_back(static_cast<char>('0' + v));
  return Normalised(a.negative != b.negative, digits, a.scale + b.scale);
}

bool IsNumberText(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  const size_t intStart = i;
  while (i < t.size() && IsDigit(t[i])) ++i;
  if (i == intStart) return false;
  if (i == t.size()) return true;
  if (t[i] != '.') return false;
  const size_t fracStart = ++i;
  while (i < t.size() && IsDigit(t[i])) ++i;
  return i > fracStart && i == t.size();
}

Decimal EntryValue(std::string_view t, bool fastMode) {
  const bool negative = t.front() == '-';
  const std::string_view body = negative ? t.substr(1) : t;
  const size_t point = body.find('.');
  if (point == std::string_view::npos) {
    return Normalised(negative, std::string(body), fastMode ? 2 : 0);
  }
  std::string digits(body.substr(0, point));
  digits += body.substr(point + 1);
  return Normalised(negative, digits, static_cast<int>(body.size() - point - 1));
}

std::string BareEntry(std::string_view t, bool fastMode) {
  const bool negative = t.front() == '-';
  const std::string_view body = negative ? t.substr(1) : t;
  const size_t point = body.find('.');
  std::string whole = StripLeadingZeros(std::string(body.substr(0, point)));
  std::string out = negative ? "-" : "";
  if (point != std::string_view::npos) return out + whole + std::string(body.substr(point));
  if (!fastMode) return out + whole;
  if (whole.size() < 3) whole.insert(0, 3 - whole.size(), '0');
  return out + whole.substr(0, whole.size() - 2) + "." + whole.substr(whole.size() - 2);
}

std::string Grouped(std::string_view t) {
  const size_t signEnd = (!t.empty() && t.front() == '-') ? 1 : 0;
  const size_t point = std::min(t.find('.'), t.size());
  std::string reversed;
  int run = 0;
  for (size_t i = point; i > signEnd; --i) {
    if (run == 3) {
      reversed.push_back(',');
      run = 0;
    }
    reversed.push_back(t[i - 1]);
    ++run;
  }
  std::reverse(reversed.begin(), reversed.end());
  return std::string(t.substr(0, signEnd)) + reversed + std::string(t.substr(point));
}

std::string Displayed(const Decimal& d) {
  std::string digits = d.digits;
  const size_t scale = static_cast<size_t>(d.scale);
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  std::string text = d.negative ? "-" : "";
  text += digits.substr(0, digits.size() - scale);
  if (scale > 0) text += "." + digits.substr(digits.size() - scale);
  return Grouped(text);
}

}  // namespace zantor::fuzz
