#include "platform/platform_choice.h"

namespace zantor::platform {

const char* PreferredPlatform(const char* userChoice, const char* xDisplay) {
  // The toolkit treats an empty QT_QPA_PLATFORM as unset; so do we.
  if (userChoice != nullptr && userChoice[0] != '\0') return nullptr;
  if (xDisplay == nullptr || xDisplay[0] == '\0') return nullptr;
  // Wayland stays as the fallback when the X display named cannot be reached.
  return "xcb;wayland";
}

}  // namespace zantor::platform
