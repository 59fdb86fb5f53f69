// Both paste cleanings on any clipboard: whatever they put back on the
// clipboard holds only the characters of a number; the 100-byte limit is
// counted in GBK bytes up to the text's first NUL; the answer and the message
// follow the clipboard's state. The clipboard texts also go through the GBK
// conversions the Qt side uses, which must give back what a valid text held.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "input/paste.h"
#include "platform/text/gbk.h"

namespace zantor::fuzz {
namespace {

using input::ClipboardView;
using input::PasteResult;

bool NumberBytesOnly(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; });
}

std::string NumberBytesOf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (NumberBytesOnly(std::string_view(&c, 1))) out.push_back(c);
  }
  return out;
}

std::string Describe(const ClipboardView& c, char op, char mode, const PasteResult& r) {
  return "opened " + std::to_string(c.opened) + " text " + std::to_string(c.hasText) + " formats " +
         std::to_string(c.hasFormats) + " op " + op + " mode " + mode + " gbk '" + c.gbk +
         "' -> goOn " + std::to_string(r.goOn) + " clipboard " +
         (r.newClipboard ? "'" + *r.newClipboard + "'" : "none") + " message '" + r.message + "'";
}

// `mainField`: the entry field's cleaning, with its messages and its
// operator-dependent replacement; otherwise the value field's.
void CheckPaste(const ClipboardView& c, char op, char mode, bool mainField) {
  const PasteResult r = mainField ? input::PreparePaste(c, op, mode) : input::PrepareValuePaste(c);
  const std::string context = Describe(c, op, mode, r);
  if (r.newClipboard) {
    Require(NumberBytesOnly(*r.newClipboard), "the clipboard got more than a number's bytes",
            context);
    Require(platform::FromGbk(*r.newClipboard) == *r.newClipboard,
            "the cleaned text changes on its way to the clipboard", context);
  }
  if (!c.opened) {
    Require(!r.goOn && !r.newClipboard && r.message.empty(), "a closed clipboard was used",
            context);
    return;
  }
  if (!c.hasText) {
    Require(r.goOn && !r.newClipboard && r.message.empty(), "no text: the paste must go on",
            context);
    return;
  }
  if (!c.hasFormats) {
    Require(!r.goOn && !r.newClipboard, "no formats: the paste must stop", context);
    Require(r.message == (mainField ? input::kNoPasteContent : std::string_view{}),
            "no formats: wrong message", context);
    return;
  }
  Require(r.newClipboard.has_value(), "a text was left on the clipboard uncleaned", context);
  const std::string_view gbk = c.gbk;
  const std::string_view text = gbk.substr(0, gbk.find('\0'));
  if (text.size() >= input::kPasteLimit) {
    Require(!r.goOn, "a long text was pasted", context);
    std::string neutral = "0";
    if (mainField && op == '*') neutral = mode == 'k' ? "100" : "1";
    Require(*r.newClipboard == neutral, "a long text got the wrong replacement", context);
    Require(r.message == (mainField ? input::kPasteTooLong : std::string_view{}),
            "a long text: wrong message", context);
    return;
  }
  Require(r.goOn && r.message.empty(), "a short text was not pasted", context);
  Require(*r.newClipboard == NumberBytesOf(text), "the cleaning lost or moved a byte", context);
}

size_t Questions(std::string_view s) {
  return static_cast<size_t>(std::count(s.begin(), s.end(), '?'));
}

// A text that converts without a single replacement must come back whole.
void CheckGbk(const std::string& bytes) {
  const std::string utf8 = platform::FromGbk(bytes);
  if (Questions(utf8) == Questions(bytes)) {
    Require(platform::ToGbk(utf8) == bytes, "valid GBK does not come back", bytes);
  }
  const std::string gbk = platform::ToGbk(bytes);
  if (Questions(gbk) == Questions(bytes)) {
    Require(platform::FromGbk(gbk) == bytes, "valid UTF-8 does not come back", bytes);
  }
}

}  // namespace
}  // namespace zantor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zantor::fuzz;
  ByteReader in(data, size);
  const uint8_t flags = in.Byte();
  const uint8_t opByte = in.Byte();
  zantor::input::ClipboardView c;
  c.opened = (flags & 0x03) != 0;
  c.hasText = (flags & 0x0c) != 0;
  c.hasFormats = (flags & 0x30) != 0;
  // Mostly the registers' own values, now and then any byte.
  const char op = (opByte & 0x80) ? static_cast<char>(opByte) : "+-*"[opByte % 3];
  const char mode = (opByte & 0x80) ? static_cast<char>(in.Byte()) : ((opByte & 4) ? 'k' : 'z');
  const std::string text = in.Rest();
  // As the Qt clipboard hands it over (UTF-8 made GBK), or as raw GBK bytes.
  c.gbk = (flags & 0x40) ? zantor::platform::ToGbk(text) : text;

  CheckPaste(c, op, mode, true);
  CheckPaste(c, op, mode, false);
  CheckGbk(text);
  return 0;
}
