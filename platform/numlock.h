// Keeping NumLock on while the entry field has the focus, so that the keypad
// types digits. Does nothing where the display is not X11.
#pragma once

#include <functional>

namespace zantor::platform {

void HoldNumLockOn();
// Tests: called on every HoldNumLockOn, before the display is touched, so
// that a guard that never runs shows even where there is no X11.
void SetNumLockHook(std::function<void()> hook);
// The NumLock indicator; false where it cannot be read.
bool NumLockIsOn();

}  // namespace zantor::platform
