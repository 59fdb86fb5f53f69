// Texts the engine asks its caller to show; the window shows them in a
// warning box, the tape prints them.
#pragma once

#include <string_view>

namespace zantor::engine {

enum class StepMessage {
  kNone,
  kMinusPlacement,
  kPointCount,
  kPointPlacement,
  kTooLong,
  kForeignCharacter,
  kOutOfMemory,
};

constexpr std::string_view MessageText(StepMessage m) {
  switch (m) {
    case StepMessage::kMinusPlacement:
      return "负号位置不正确，请检查！";
    case StepMessage::kPointCount:
      return "小数点太多，请检查！";
    case StepMessage::kPointPlacement:
      return "小数点位置不正确，请检查！";
    case StepMessage::kTooLong:
      return "数据超过40位无法计算，\n  如有需要请联系作者。";
    case StepMessage::kForeignCharacter:
      return "只能输入数字、小数点和负号，请检查！";
    case StepMessage::kOutOfMemory:
      return "内存不足，这一步没有计算。";
    case StepMessage::kNone:
      break;
  }
  return {};
}

}  // namespace zantor::engine
