// Which windowing system the program runs on.
#pragma once

namespace zantor::platform {

// The QT_QPA_PLATFORM to set before the application object exists, or
// nullptr to leave the toolkit's own choice. `userChoice` and `xDisplay` are
// the environment's QT_QPA_PLATFORM and DISPLAY (null when unset).
//
// A Wayland client cannot place its own window, has no see-through windows
// and no X server to ask about NumLock, so in a Wayland session that also
// offers an X display (Xwayland) the program goes there. A user's own
// QT_QPA_PLATFORM always wins; without an X display the toolkit picks
// Wayland and the window simply goes where the compositor puts it.
const char* PreferredPlatform(const char* userChoice, const char* xDisplay);

}  // namespace zantor::platform
