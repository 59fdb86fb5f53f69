// Which keys may reach the entry field and the search dialog's value field,
// decided from the key alone so that the Qt event filters stay thin. Keys are
// given as classic virtual-key numbers (vk:: below); the filters translate
// Qt's keys into them first.
#pragma once

#include <string>
#include <string_view>

namespace zantor::input {

enum class KeyMessage { kKeyDown, kKeyUp, kRightButtonDown, kOther };

// kDrop consumes the event; kDefault hands it to the dialog's normal keyboard
// handling (which ends in the field for text keys); kPass delivers it to the
// field directly, bypassing the dialog.
enum class Outcome { kDrop, kDefault, kPass };

// What the caller does before applying the outcome.
enum class KeyAction {
  kNone,
  kEvaluate,      // run the evaluation step
  kPreparePaste,  // clean the clipboard; a kDefault outcome turns into kDrop
                  // when the cleaning refuses the paste
  kKeypadPoint,   // the keypad point may type a '.' (whatever the keyboard
                  // layout's decimal key would produce)
  kCycleOperator,
  kStore,
  kRecall,
  kToggleMode,
  kFind,
  kToggleTape,  // show or hide the tape window
  kToggleSign,  // replace the field's text by ToggleSign(text), caret at the end
  kNumLockGuard,
  // Released in the entry field, beyond the original table:
  kCheckRun,    // K: key the current run in again (复核)
  kCapitals,    // D: the total in capitals (大写) onto the clipboard
  kLeaveCheck,  // Esc: leave the check
};

struct KeyDecision {
  Outcome outcome;
  KeyAction action;
  friend bool operator==(const KeyDecision&, const KeyDecision&) = default;
};

namespace vk {
inline constexpr int kBack = 8;
inline constexpr int kReturn = 13;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kLeft = 37;
inline constexpr int kRight = 39;
inline constexpr int kDigit0 = 48;
inline constexpr int kDigit9 = 57;
inline constexpr int kC = 67;
inline constexpr int kD = 68;
inline constexpr int kF = 70;
inline constexpr int kK = 75;
inline constexpr int kQ = 81;
inline constexpr int kT = 84;
inline constexpr int kV = 86;
inline constexpr int kZ = 90;
inline constexpr int kNumpad0 = 96;
inline constexpr int kNumpad9 = 105;
inline constexpr int kSubtract = 109;  // keypad '-'
inline constexpr int kDecimal = 110;   // keypad point
inline constexpr int kNumLock = 144;
}  // namespace vk

// The main dialog's entry field. `entryText` is the field's current text;
// `entryMode` is 'k' (fast) or 'z' (normal). V types nothing by itself: only
// Ctrl+V reaches the field, and only with a cleaned clipboard.
KeyDecision DecideEntryKey(KeyMessage m, int vk, bool shift, bool ctrl, char entryMode,
                           std::string_view entryText);

// The entry field's key releases that the original table gives no action:
// K, D and Esc. kNone for every other key.
KeyAction AddedEntryRelease(int vk);

// The search dialog's value field. Unlike the entry field it lets key
// releases through and has no hotkeys; the keypad point is always allowed once.
KeyDecision DecideValueKey(KeyMessage m, int vk, bool shift, bool ctrl, std::string_view valueText);

// Keypad '-': only the first character is looked at, so 1-2 becomes -1-2.
std::string ToggleSign(std::string_view text);

}  // namespace zantor::input
