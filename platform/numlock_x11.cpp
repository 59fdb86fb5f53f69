// Xlib's macros (KeyPress, Bool, ...) break Qt headers: Qt first, Xlib last,
// and nothing else in this file.
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

#include <functional>
#include <utility>

#include "platform/numlock.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace zantor::platform {
namespace {

Display* X11Display() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->display() : nullptr;
}

std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}

}  // namespace

void SetNumLockHook(std::function<void()> hook) { Hook() = std::move(hook); }

bool NumLockIsOn() {
  Display* d = X11Display();
  if (d == nullptr) return false;
  XkbStateRec state;
  if (XkbGetState(d, XkbUseCoreKbd, &state) != Success) return false;
  const unsigned mask = XkbKeysymToModifiers(d, XK_Num_Lock);
  return mask != 0 && (state.locked_mods & mask) != 0;
}

void HoldNumLockOn() {
  if (Hook()) Hook()();
  Display* d = X11Display();
  if (d == nullptr || NumLockIsOn()) return;
  const unsigned mask = XkbKeysymToModifiers(d, XK_Num_Lock);
  if (mask == 0) return;
  XkbLockModifiers(d, XkbUseCoreKbd, mask, mask);
  XFlush(d);
}

}  // namespace zantor::platform
