// An amount in Chinese capitals, as bills, cheques and vouchers ask for it:
// 1,234.56 -> 壹仟贰佰叁拾肆元伍角陆分. No 人民币 before it: the forms print
// that themselves.
#pragma once

#include <string>
#include <string_view>

namespace zantor::engine {

struct Capitals {
  enum class Status {
    kDone,
    kTooLarge,  // 10^16 or more (after rounding): the units end at 万亿
    kNotANumber,
  };
  Status status = Status::kNotANumber;
  std::string text;      // UTF-8, for kDone
  bool rounded = false;  // digits below 分 were dropped (half up)
};

// `amount`: an optional '-', digits (commas allowed between them) and an
// optional point followed by digits, as the result field shows a total.
Capitals AmountInCapitals(std::string_view amount);

}  // namespace zantor::engine
