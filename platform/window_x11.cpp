// Xlib's macros (KeyPress, Bool, ...) break Qt headers: Qt first, Xlib last,
// and nothing else in this file.
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#include "platform/window_x11.h"

#include <X11/Xlib.h>

namespace zantor::platform {

std::optional<QPoint> ServerPosition(const QWidget* window) {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* d = x11 != nullptr ? x11->display() : nullptr;
  if (d == nullptr || !window->testAttribute(Qt::WA_WState_Created)) return std::nullopt;
  int x = 0;
  int y = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(d, static_cast<::Window>(window->winId()), DefaultRootWindow(d), 0, 0,
                             &x, &y, &child)) {
    return std::nullopt;
  }
  return QPoint(x, y);
}

}  // namespace zantor::platform
