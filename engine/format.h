// Display texts of entries and totals. Each is built in one pass, in time
// linear in the length of the number.
#pragma once

#include <string>
#include <string_view>

#include "engine/digit_chain.h"

namespace zantor::engine {

// Fast mode shows a typed whole number as hundredths: 5 -> 0.05, -12 -> -0.12,
// 1234 -> 12.34; a text that already has a point is left as it is.
std::string FastModeForm(std::string_view entry);

// Commas between groups of three integer digits; a leading '-' and everything
// from the first '.' on are kept as they are.
std::string GroupThousands(std::string_view text);

// The total as the result field shows it: exactly `scale` digits behind the
// point, at least one integer digit, grouped, '-' only for a non-zero total.
std::string FormatTotal(const SignedNumber& n, int scale);

}  // namespace zantor::engine
