// Checks on the entry text and its conversion into the operand, aligned to the
// accumulator's scale.
#pragma once

#include <string>
#include <string_view>

#include "engine/calc_state.h"
#include "engine/messages.h"

namespace zantor::engine {

constexpr size_t kMaxEntryLength = 40;

bool CheckMinusPlacement(std::string_view entryText);
bool CheckPointCount(std::string_view entryText);
bool CheckPointPlacement(std::string_view entryText);
// Only digits, '.' and '-' can be converted; anything else is refused whole.
bool CheckCharacters(std::string_view entryText);

// The first failing check's message, or kNone, in the order the step runs them.
StepMessage ValidateEntry(std::string_view entryText);

enum class Conversion { kConverted, kTooLong, kOutOfMemory };

// Both shorten entryText in place (leading zeros) and empty it when it is too
// long. On kOutOfMemory no register has changed. ConvertEntryForAddSubtract
// reports in *accExtension how many zero digits it put under the accumulator,
// so that a step that fails later can take them back (UndoExtension).
Conversion ConvertEntryForMultiply(std::string& entryText, CalcState& state);
Conversion ConvertEntryForAddSubtract(std::string& entryText, CalcState& state, int* accExtension);
void UndoExtension(SignedNumber& n, int k);

}  // namespace zantor::engine
