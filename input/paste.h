// Cleaning the clipboard before a field pastes from it, so that only the
// characters of a number can land there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zantor::input {

inline constexpr std::string_view kNoPasteContent = "没有粘贴内容";
inline constexpr std::string_view kPasteTooLong = "粘贴的内容太长";

// Texts this long or longer are not cleaned but replaced.
inline constexpr size_t kPasteLimit = 100;

// What the clipboard holds; `gbk` is its text in GBK bytes (the length limit
// counts those bytes, so 50 Chinese characters are already too long).
struct ClipboardView {
  bool opened = true;
  bool hasText = false;
  bool hasFormats = true;
  std::string gbk;
};

struct PasteResult {
  bool goOn = false;                        // let the paste key or click reach the field
  std::optional<std::string> newClipboard;  // replaces every format the clipboard held
  std::string message;                      // for the result field; empty for none
};

// Keeps '0'-'9', '.' and '-' in their order. Byte-wise is safe in GBK: its
// trail bytes are never digits, '.' or '-'. Misplaced signs and points stay
// for the entry checks to refuse.
std::string KeepNumberBytes(std::string_view gbk);

// The entry field. `pendingOp` and `entryMode` choose the harmless operand
// that replaces an over-long text: 1 for times (100, i.e. 1.00, in fast mode),
// 0 for plus and minus.
PasteResult PreparePaste(const ClipboardView& clipboard, char pendingOp, char entryMode);

// The search dialog's value field: an over-long text becomes "0", and no
// message is given (the dialog has no result field).
PasteResult PrepareValuePaste(const ClipboardView& clipboard);

}  // namespace zantor::input
