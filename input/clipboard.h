// The desktop clipboard as the paste filters see it: text in GBK bytes.
#pragma once

#include <string>

#include "input/paste.h"

namespace zantor::input {

ClipboardView ReadClipboard();
// Replaces every format on the clipboard by this text (GBK bytes).
void WriteClipboard(const std::string& gbk);

}  // namespace zantor::input
