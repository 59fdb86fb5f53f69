// Both fields' key decisions over every message, key code (any int), modifier
// state, mode and field text: an answer always comes back; only an unshifted
// top-row digit is ever delivered straight to a field; no letter ever types;
// a point is let through only when the field has none; actions come only
// from the keys that own them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "input/key_filter.h"

namespace zantor::fuzz {
namespace {

using input::KeyAction;
using input::KeyDecision;
using input::KeyMessage;
using input::Outcome;
namespace vk = input::vk;

struct Key {
  KeyMessage message;
  int code;
  bool shift;
  bool ctrl;
  char mode;
  std::string text;
};

std::string Describe(const Key& k, const KeyDecision& d) {
  return "message " + std::to_string(static_cast<int>(k.message)) + " code " +
         std::to_string(k.code) + " shift " + std::to_string(k.shift) + " ctrl " +
         std::to_string(k.ctrl) + " mode " + k.mode + " text '" + k.text + "' -> outcome " +
         std::to_string(static_cast<int>(d.outcome)) + " action " +
         std::to_string(static_cast<int>(d.action));
}

bool KnownOutcome(Outcome o) {
  return o == Outcome::kDrop || o == Outcome::kDefault || o == Outcome::kPass;
}

bool KnownAction(KeyAction a) {
  return static_cast<int>(a) >= static_cast<int>(KeyAction::kNone) &&
         static_cast<int>(a) <= static_cast<int>(KeyAction::kNumLockGuard);
}

bool IsTopRowDigit(int code) { return code >= vk::kDigit0 && code <= vk::kDigit9; }
bool IsLetter(int code) { return code >= 'A' && code <= 'Z'; }

// What both fields share.
void CheckCommon(const Key& k, const KeyDecision& d, const std::string& context) {
  Require(KnownOutcome(d.outcome) && KnownAction(d.action), "an answer outside the tables",
          context);
  const bool down = k.message == KeyMessage::kKeyDown;
  if (d.outcome == Outcome::kPass) {
    Require(down && IsTopRowDigit(k.code) && !k.shift,
            "something other than an unshifted top-row digit was delivered", context);
  }
  if (down && IsTopRowDigit(k.code)) {
    Require(d.outcome == (k.shift ? Outcome::kDrop : Outcome::kPass),
            "a top-row digit went the wrong way", context);
  }
  if (down && IsLetter(k.code)) {
    const bool paste = k.code == vk::kV && k.ctrl;
    Require(d == (paste ? KeyDecision{Outcome::kDefault, KeyAction::kPreparePaste}
                        : KeyDecision{Outcome::kDrop, KeyAction::kNone}),
            "a letter key could type", context);
  }
  if (down && (k.code < vk::kBack || k.code > vk::kDecimal)) {
    Require(d == KeyDecision{Outcome::kDrop, KeyAction::kNone},
            "a key outside 8..110 was not dropped", context);
  }
  if (d.action == KeyAction::kKeypadPoint) {
    Require(down && k.code == vk::kDecimal && d.outcome == Outcome::kDefault &&
                k.text.find('.') == std::string::npos,
            "a second point could be typed", context);
  }
  if (d.action == KeyAction::kPreparePaste) {
    Require(d.outcome == Outcome::kDefault &&
                (k.message == KeyMessage::kRightButtonDown || (down && k.code == vk::kV)),
            "the paste cleaning ran for another event", context);
  }
  if (k.message == KeyMessage::kRightButtonDown) {
    Require(d.action == KeyAction::kPreparePaste, "a right click skipped the cleaning", context);
  }
  if (k.message == KeyMessage::kOther) {
    Require(d == KeyDecision{Outcome::kDefault, KeyAction::kNone}, "another message was filtered",
            context);
  }
}

void CheckEntryField(const Key& k) {
  const KeyDecision d = input::DecideEntryKey(k.message, k.code, k.shift, k.ctrl, k.mode, k.text);
  const std::string context = "entry field " + Describe(k, d);
  CheckCommon(k, d, context);
  const bool down = k.message == KeyMessage::kKeyDown;
  if (k.message == KeyMessage::kKeyUp) {
    Require(d.outcome == Outcome::kDrop, "a key release reached the entry field", context);
  }
  if (down && k.code == vk::kDecimal) {
    const bool allowed = k.mode == 'z' && k.text.find('.') == std::string::npos;
    Require(d.outcome == (allowed ? Outcome::kDefault : Outcome::kDrop),
            "the keypad point went the wrong way", context);
  }
  Require((d.action == KeyAction::kEvaluate) == (down && k.code == vk::kReturn),
          "the step runs on something other than Enter", context);
  static constexpr struct {
    KeyAction action;
    int code;
  } kHotkeys[] = {{KeyAction::kCycleOperator, vk::kSpace},
                  {KeyAction::kStore, vk::kC},
                  {KeyAction::kRecall, vk::kQ},
                  {KeyAction::kToggleMode, vk::kZ},
                  {KeyAction::kFind, vk::kF},
                  {KeyAction::kToggleSign, vk::kSubtract},
                  {KeyAction::kNumLockGuard, vk::kNumLock}};
  for (const auto& h : kHotkeys) {
    Require((d.action == h.action) == (k.message == KeyMessage::kKeyUp && k.code == h.code),
            "a hotkey is bound to the wrong release", context);
  }
}

void CheckValueField(const Key& k) {
  const KeyDecision d = input::DecideValueKey(k.message, k.code, k.shift, k.ctrl, k.text);
  const std::string context = "value field " + Describe(k, d);
  CheckCommon(k, d, context);
  const bool down = k.message == KeyMessage::kKeyDown;
  if (down && k.code == vk::kDecimal) {
    const bool allowed = k.text.find('.') == std::string::npos;
    Require(d.outcome == (allowed ? Outcome::kDefault : Outcome::kDrop),
            "the keypad point went the wrong way", context);
  }
  if (down && (k.code == vk::kReturn || k.code == 27)) {
    Require(d.outcome == Outcome::kDrop, "Enter or Esc could close the dialog", context);
  }
  const bool up = k.message == KeyMessage::kKeyUp;
  Require((d.action == KeyAction::kToggleSign) == (up && k.code == vk::kSubtract),
          "the sign toggles on another key", context);
  Require((d.action == KeyAction::kNumLockGuard) == (up && k.code == vk::kNumLock),
          "the NumLock guard runs on another key", context);
  for (KeyAction hotkey : {KeyAction::kEvaluate, KeyAction::kCycleOperator, KeyAction::kStore,
                           KeyAction::kRecall, KeyAction::kToggleMode, KeyAction::kFind}) {
    Require(d.action != hotkey, "the value field ran one of the main window's commands", context);
  }
}

void CheckToggleSign(const std::string& text) {
  const std::string once = input::ToggleSign(text);
  if (!text.empty() && text.front() == '-') {
    Require(once == text.substr(1), "toggling removed more than the sign", text);
  } else {
    Require(once == "-" + text, "toggling did not put a sign in front", text);
    Require(input::ToggleSign(once) == text, "toggling twice changed the text", text);
  }
}

}  // namespace
}  // namespace zantor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zantor::fuzz;
  ByteReader in(data, size);
  const uint8_t flags = in.Byte();
  Key k;
  k.message = static_cast<KeyMessage>(flags % 4);
  k.shift = (flags & 0x04) != 0;
  k.ctrl = (flags & 0x08) != 0;
  // Mostly codes a keyboard sends; now and then any int at all.
  k.code = (flags & 0x80) ? in.Int32() : in.Byte();
  const uint8_t mode = in.Byte();
  k.mode = (flags & 0x40) ? static_cast<char>(mode) : ((mode & 1) ? 'k' : 'z');
  k.text = in.Rest();

  CheckEntryField(k);
  CheckValueField(k);
  CheckToggleSign(k.text);
  return 0;
}
