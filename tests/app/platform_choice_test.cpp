// The windowing system chosen from the session's environment.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform_choice.h"

namespace zantor::apptest {
namespace {

std::string Chosen(const char* userChoice, const char* xDisplay) {
  const char* p = platform::PreferredPlatform(userChoice, xDisplay);
  return p != nullptr ? p : "(toolkit's own)";
}

TEST(PlatformChoiceTest, XDisplayIsPreferredUnlessTheUserChose) {
  // A Wayland session with Xwayland, and a plain X11 session.
  EXPECT_EQ(Chosen(nullptr, ":0"), "xcb;wayland");
  EXPECT_EQ(Chosen("", ":1"), "xcb;wayland");
  // No X display: Wayland or whatever the toolkit finds.
  EXPECT_EQ(Chosen(nullptr, nullptr), "(toolkit's own)");
  EXPECT_EQ(Chosen(nullptr, ""), "(toolkit's own)");
  // The user's own choice wins, with or without an X display.
  EXPECT_EQ(Chosen("wayland", ":0"), "(toolkit's own)");
  EXPECT_EQ(Chosen("offscreen", nullptr), "(toolkit's own)");
}

}  // namespace
}  // namespace zantor::apptest
