#include "engine/format.h"

namespace zantor::engine {

std::string FastModeForm(std::string_view entry) {
  const bool negative = !entry.empty() && entry[0] == '-';
  const std::string_view body = negative ? entry.substr(1) : entry;
  std::string out;
  out.reserve(entry.size() + 3);
  if (negative) out.push_back('-');
  if (body.size() < 3) out.append(3 - body.size(), '0');
  out.append(body);
  if (out.find('.') == std::string::npos) out.insert(out.size() - 2, 1, '.');
  return out;
}

std::string GroupThousands(std::string_view text) {
  const size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
  size_t end = text.find('.');
  if (end == std::string_view::npos) end = text.size();
  const size_t digits = end - start;
  std::string out;
  out.reserve(text.size() + digits / 3);
  out.append(text.substr(0, start));
  for (size_t i = 0; i < digits; ++i) {
    if (i > 0 && (digits - i) % 3 == 0) out.push_back(',');
    out.push_back(text[start + i]);
  }
  out.append(text.substr(end));
  return out;
}

std::string FormatTotal(const SignedNumber& n, int scale) {
  std::string digits = n.DigitsText();
  const size_t fraction = scale > 0 ? static_cast<size_t>(scale) : 0;
  if (digits.size() < fraction + 1) digits.insert(0, fraction + 1 - digits.size(), '0');
  const size_t intDigits = digits.size() - fraction;
  std::string out;
  out.reserve(digits.size() + intDigits / 3 + 2);
  if (n.sign() == '-' && !n.IsZero()) out.push_back('-');
  for (size_t i = 0; i < intDigits; ++i) {
    if (i > 0 && (intDigits - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  if (fraction > 0) {
    out.push_back('.');
    out.append(digits, intDigits, fraction);
  }
  return out;
}

}  // namespace zantor::engine
