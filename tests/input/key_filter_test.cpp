#include "input/key_filter.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace zantor::input {
namespace {

using A = KeyAction;
using O = Outcome;

// The expectations are written from the key tables, independently of the
// filter's own structure, and then checked over every code.
const std::set<int> kEditingKeys = {8, 37, 39, 96, 97, 98, 99, 100, 101, 102, 103, 104, 105};
const std::set<int> kTopRowDigits = {48, 49, 50, 51, 52, 53, 54, 55, 56, 57};
const std::map<int, KeyAction> kEntryReleaseActions = {
    {32, A::kCycleOperator}, {67, A::kStore},       {81, A::kRecall},        {90, A::kToggleMode},
    {70, A::kFind},          {109, A::kToggleSign}, {144, A::kNumLockGuard}, {84, A::kToggleTape},
};

const char* const kTexts[] = {"", "12", "12.5", "-", "-12", "-0.5"};

bool HasPoint(const std::string& s) { return s.find('.') != std::string::npos; }

KeyDecision ExpectedEntryDown(int code, bool shift, bool ctrl, char mode, const std::string& text) {
  if (kEditingKeys.count(code)) return {O::kDefault, A::kNone};
  if (kTopRowDigits.count(code)) return {shift ? O::kDrop : O::kPass, A::kNone};
  if (code == 13) return {O::kDrop, A::kEvaluate};
  if (code == 86)
    return ctrl ? KeyDecision{O::kDefault, A::kPreparePaste} : KeyDecision{O::kDrop, A::kNone};
  if (code == 110 && mode == 'z' && !HasPoint(text)) return {O::kDefault, A::kKeypadPoint};
  return {O::kDrop, A::kNone};
}

KeyDecision ExpectedValueDown(int code, bool shift, bool ctrl, const std::string& text) {
  if (kEditingKeys.count(code)) return {O::kDefault, A::kNone};
  if (kTopRowDigits.count(code)) return {shift ? O::kDrop : O::kPass, A::kNone};
  if (code == 86)
    return ctrl ? KeyDecision{O::kDefault, A::kPreparePaste} : KeyDecision{O::kDrop, A::kNone};
  if (code == 110 && !HasPoint(text)) return {O::kDefault, A::kKeypadPoint};
  return {O::kDrop, A::kNone};
}

std::string Describe(int code, bool shift, bool ctrl, char mode, const std::string& text) {
  return "vk " + std::to_string(code) + (shift ? " shift" : "") + (ctrl ? " ctrl" : "") + " mode " +
         mode + " text '" + text + "'";
}

// Beyond the original table, only the releases of K, D and Esc act.
TEST(EntryKeyTest, AddedReleasesAreKDAndEscOnly) {
  const std::map<int, KeyAction> added = {
      {75, A::kCheckRun}, {68, A::kCapitals}, {27, A::kLeaveCheck}};
  for (int code = 0; code <= 255; ++code) {
    const auto it = added.find(code);
    EXPECT_EQ(AddedEntryRelease(code), it == added.end() ? A::kNone : it->second) << code;
    if (it != added.end()) {
      EXPECT_FALSE(kEntryReleaseActions.count(code)) << code;
    }
  }
}

TEST(EntryKeyTest, EveryKeyDownAndUpMatchesTheTables) {
  for (int code = 0; code <= 255; ++code) {
    for (bool shift : {false, true}) {
      for (bool ctrl : {false, true}) {
        for (char mode : {'k', 'z'}) {
          for (const std::string text : kTexts) {
            SCOPED_TRACE(Describe(code, shift, ctrl, mode, text));
            EXPECT_EQ(DecideEntryKey(KeyMessage::kKeyDown, code, shift, ctrl, mode, text),
                      ExpectedEntryDown(code, shift, ctrl, mode, text));
            const auto it = kEntryReleaseActions.find(code);
            const KeyDecision up{O::kDrop,
                                 it == kEntryReleaseActions.end() ? A::kNone : it->second};
            EXPECT_EQ(DecideEntryKey(KeyMessage::kKeyUp, code, shift, ctrl, mode, text), up);
          }
        }
      }
    }
  }
}

TEST(KeyFilterTest, MouseAndOtherMessages) {
  EXPECT_EQ(DecideValueKey(KeyMessage::kRightButtonDown, 0, false, false, ""),
            (KeyDecision{O::kDefault, A::kPreparePaste}));
  EXPECT_EQ(DecideValueKey(KeyMessage::kOther, 13, false, false, ""),
            (KeyDecision{O::kDefault, A::kNone}));
  for (char mode : {'k', 'z'}) {
    EXPECT_EQ(DecideEntryKey(KeyMessage::kRightButtonDown, 0, false, false, mode, ""),
              (KeyDecision{O::kDefault, A::kPreparePaste}));
    // A character message or an Alt key goes on: the filter only sees key codes.
    EXPECT_EQ(DecideEntryKey(KeyMessage::kOther, 65, true, true, mode, "1"),
              (KeyDecision{O::kDefault, A::kNone}));
  }
}

TEST(ValueKeyTest, EveryKeyDownAndUpMatchesTheTable) {
  for (int code = 0; code <= 255; ++code) {
    for (bool shift : {false, true}) {
      for (bool ctrl : {false, true}) {
        for (const std::string text : kTexts) {
          SCOPED_TRACE(Describe(code, shift, ctrl, '-', text));
          EXPECT_EQ(DecideValueKey(KeyMessage::kKeyDown, code, shift, ctrl, text),
                    ExpectedValueDown(code, shift, ctrl, text));
          KeyDecision up{O::kDefault, A::kNone};
          if (code == 109) up = {O::kDefault, A::kToggleSign};
          if (code == 144) up = {O::kDrop, A::kNumLockGuard};
          EXPECT_EQ(DecideValueKey(KeyMessage::kKeyUp, code, shift, ctrl, text), up);
        }
      }
    }
  }
}

TEST(ToggleSignTest, OnlyTheFirstCharacterCounts) {
  const std::map<std::string, std::string> cases = {
      {"", "-"},       {"-", ""},     {"12", "-12"}, {"-12", "12"},
      {"1-2", "-1-2"}, {"--5", "-5"}, {".5", "-.5"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ToggleSign(in), out) << in;
}

}  // namespace
}  // namespace zantor::input
