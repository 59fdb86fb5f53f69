// Keeping NumLock on while the entry field has the focus, so that the keypad
// types digits. Does nothing where the display is not X11.
#pragma once

namespace zantor::platform {

void HoldNumLockOn();
// The NumLock indicator; false where it cannot be read.
bool NumLockIsOn();

}  // namespace zantor::platform
