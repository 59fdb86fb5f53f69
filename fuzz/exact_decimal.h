// The fuzzers' own exact decimal: a magnitude as a plain digit string, most
// significant first, with the number of fractional digits beside it. It
// shares nothing with the engine's digit chains, so a fault in one cannot
// hide the same fault in the other.
#pragma once

#include <string>
#include <string_view>

namespace zantor::fuzz {

struct Decimal {
  bool negative = false;
  std::string digits = "0";  // no leading zeros; "0" for zero
  int scale = 0;             // fractional digits; no trailing fractional zero

  bool IsZero() const { return digits == "0"; }
};

// Drops leading zeros, trailing fractional zeros and the sign of zero.
Decimal Normalised(bool negative, std::string digits, int scale);

Decimal Add(const Decimal& a, const Decimal& b);
Decimal Subtract(const Decimal& a, const Decimal& b);
Decimal Multiply(const Decimal& a, const Decimal& b);

// A number text in the form -?D+(.D+)? with D a digit.
bool IsNumberText(std::string_view text);

// The value of an entry that IsNumberText accepts. In fast mode a whole
// number counts hundredths.
Decimal EntryValue(std::string_view text, bool fastMode);

// The entry as the history records it: integer zeros dropped down to one
// digit, then, in fast mode, a whole number written as hundredths.
std::string BareEntry(std::string_view text, bool fastMode);

// Commas between groups of three integer digits; sign and fraction kept.
std::string Grouped(std::string_view text);

// The total as shown: its own number of fractional digits, at least one
// integer digit, grouped, '-' only when it is not zero.
std::string Displayed(const Decimal& d);

}  // namespace zantor::fuzz
