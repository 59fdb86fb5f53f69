#include "engine/capitals.h"

#include <array>

namespace zantor::engine {
namespace {

constexpr std::array<std::string_view, 10> kDigits = {"零", "壹", "贰", "叁", "肆",
                                                      "伍", "陆", "柒", "捌", "玖"};
// Within a group of four: ones, tens, hundreds, thousands.
constexpr std::array<std::string_view, 4> kPlaces = {"", "拾", "佰", "仟"};
constexpr size_t kMaxIntegerDigits = 16;  // below 10^16

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Capitals AmountInCapitals(std::string_view amount) {
  Capitals out;
  bool negative = false;
  if (!amount.empty() && amount[0] == '-') {
    negative = true;
    amount.remove_prefix(1);
  }
  const size_t point = amount.find('.');
  const std::string_view whole = amount.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : amount.substr(point + 1);
  if (whole.empty() || (point != std::string_view::npos && fraction.empty())) return out;

  // The integer digits without commas and leading zeros; a comma only between digits.
  std::string digits;
  digits.reserve(whole.size() + 1);
  for (size_t i = 0; i < whole.size(); ++i) {
    const char c = whole[i];
    if (c == ',') {
      if (i == 0 || i + 1 == whole.size() || !IsDigit(whole[i + 1])) return out;
      continue;
    }
    if (!IsDigit(c)) return out;
    if (c != '0' || !digits.empty()) digits.push_back(c);
  }
  for (char c : fraction) {
    if (!IsDigit(c)) return out;
  }

  // 角 and 分, rounded half up on the magnitude from the third decimal on.
  int jiao = fraction.size() > 0 ? fraction[0] - '0' : 0;
  int fen = fraction.size() > 1 ? fraction[1] - '0' : 0;
  if (fraction.size() > 2) {
    out.rounded = fraction.find_first_not_of('0', 2) != std::string_view::npos;
    if (fraction[2] >= '5') {
      if (++fen == 10) {
        fen = 0;
        if (++jiao == 10) {
          jiao = 0;
          // Carry into the integer digits.
          size_t i = digits.size();
          while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
          if (i == 0) {
            digits.insert(digits.begin(), '1');
          } else {
            ++digits[i - 1];
          }
        }
      }
    }
  }
  if (digits.size() > kMaxIntegerDigits) {
    out.status = Capitals::Status::kTooLarge;
    return out;
  }
  out.status = Capitals::Status::kDone;

  std::string& t = out.text;
  t.reserve(3 * (2 * digits.size() + 8));
  // One 零 stands for each run of zeros between two written digits, across
  // 万, 亿 and 元 alike; zeros at either end are not written.
  bool zeros = false;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    const size_t place = n - 1 - i;  // power of ten
    const int d = digits[i] - '0';
    if (d == 0) {
      zeros = true;
    } else {
      if (zeros) t.append(kDigits[0]);
      zeros = false;
      t.append(kDigits[d]);
      t.append(kPlaces[place % 4]);
    }
    // 万 after a group of four that has a digit; 亿 after everything above it,
    // so that 10^12 is 壹万亿.
    if (place == 4 || place == 12) {
      const size_t from = i >= 3 ? i - 3 : 0;
      if (digits.find_first_not_of('0', from) <= i) t.append("万");
    } else if (place == 8) {
      t.append("亿");
    }
  }
  if (n > 0) t.append("元");
  if (jiao != 0) {
    if (zeros) t.append(kDigits[0]);
    zeros = false;
    t.append(kDigits[jiao]);
    t.append("角");
  } else if (n > 0) {
    zeros = true;
  }
  if (fen != 0) {
    if (zeros) t.append(kDigits[0]);
    t.append(kDigits[fen]);
    t.append("分");
  } else if (t.empty()) {
    t = "零元整";
  } else {
    t.append("整");
  }
  if (negative && (n > 0 || jiao != 0 || fen != 0)) t.insert(0, "负");
  return out;
}

}  // namespace zantor::engine
