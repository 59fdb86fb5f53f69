// The current local time as text, for the store's file names and trail rows.
// Internal to the store.
#pragma once

#include <ctime>
#include <string>

namespace zantor::store::detail {

// Now, in strftime's `format`; "" when the local time cannot be had.
inline std::string LocalTime(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[64] = {};
  if (::localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, format, &local) == 0) {
    return {};
  }
  return text;
}

}  // namespace zantor::store::detail
