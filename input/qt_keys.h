// Qt's key events as the virtual-key codes the key tables are written in.
#pragma once

class QKeyEvent;

namespace zantor::input {

// Keys the tables never name map to 255, which every key-down table drops.
inline constexpr int kUnmappedKey = 255;

// Keypad keys arrive with Qt::KeypadModifier (digits 96-105, point 110, minus
// 109); the main keyboard's '.' is the point (110) as well. Shift+digit
// arrives as its symbol and is mapped back to the digit.
int VirtualKeyFor(const QKeyEvent& event);

}  // namespace zantor::input
