// The desktop clipboard as the paste filters see it: text in GBK bytes.
#pragma once

#include <QClipboard>
#include <string>

#include "input/paste.h"

namespace zantor::input {

// `mode` is the clipboard proper or, on X11, the primary selection that the
// middle button pastes.
ClipboardView ReadClipboard(QClipboard::Mode mode = QClipboard::Clipboard);
// Replaces every format on that clipboard by this text (GBK bytes).
void WriteClipboard(const std::string& gbk, QClipboard::Mode mode = QClipboard::Clipboard);

}  // namespace zantor::input
