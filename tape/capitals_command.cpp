#include "tape/capitals_command.h"

#include "engine/capitals.h"

namespace zantor::tape {

int CapitalsCommand(const std::string& amount, std::FILE* out, std::FILE* err) {
  const engine::Capitals c = engine::AmountInCapitals(amount);
  switch (c.status) {
    case engine::Capitals::Status::kDone:
      break;
    case engine::Capitals::Status::kTooLarge:
      std::fprintf(err, "zantor-tape: %s: 金额过大，无法写成大写\n", amount.c_str());
      return 1;
    case engine::Capitals::Status::kNotANumber:
      std::fprintf(err, "zantor-tape: cannot read \"%s\" as an amount\n", amount.c_str());
      return 1;
  }
  std::fprintf(out, "%s\n", c.text.c_str());
  std::fflush(out);
  if (c.rounded) std::fprintf(err, "zantor-tape: %s: 已四舍五入到分\n", amount.c_str());
  return 0;
}

}  // namespace zantor::tape
