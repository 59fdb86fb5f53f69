#include "input/paste.h"

#include <utility>

namespace zantor::input {
namespace {

// The clipboard text ends at its first NUL, as C text does.
std::string_view ClipboardText(const ClipboardView& c) {
  std::string_view t = c.gbk;
  return t.substr(0, t.find('\0'));
}

PasteResult Result(bool goOn, std::optional<std::string> clipboard, std::string_view message) {
  PasteResult r;
  r.goOn = goOn;
  r.newClipboard = std::move(clipboard);
  r.message = message;
  return r;
}

std::string_view NeutralOperand(char pendingOp, char entryMode) {
  if (pendingOp != '*') return "0";
  return entryMode == 'k' ? "100" : "1";
}

}  // namespace

std::string KeepNumberBytes(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  for (char c : gbk) {
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') out.push_back(c);
  }
  return out;
}

PasteResult PreparePaste(const ClipboardView& clipboard, char pendingOp, char entryMode) {
  if (!clipboard.opened) return Result(false, std::nullopt, {});
  // Nothing to clean: the field's own paste finds nothing to insert.
  if (!clipboard.hasText) return Result(true, std::nullopt, {});
  if (!clipboard.hasFormats) return Result(false, std::nullopt, kNoPasteContent);
  const std::string_view text = ClipboardText(clipboard);
  if (text.size() < kPasteLimit) return Result(true, KeepNumberBytes(text), {});
  return Result(false, std::string(NeutralOperand(pendingOp, entryMode)), kPasteTooLong);
}

PasteResult PrepareValuePaste(const ClipboardView& clipboard) {
  if (!clipboard.opened) return Result(false, std::nullopt, {});
  if (!clipboard.hasText) return Result(true, std::nullopt, {});
  if (!clipboard.hasFormats) return Result(false, std::nullopt, {});
  const std::string_view text = ClipboardText(clipboard);
  if (text.size() < kPasteLimit) return Result(true, KeepNumberBytes(text), {});
  return Result(false, "0", {});
}

}  // namespace zantor::input
