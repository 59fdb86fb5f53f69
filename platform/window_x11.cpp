// Xlib's macros (KeyPress, Bool, ...) break Qt headers: Qt first, Xlib last,
// and nothing else in this file.
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#include "platform/window_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace zantor::platform {
namespace {

Display* DisplayOf(const QWidget* window) {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* d = x11 != nullptr ? x11->display() : nullptr;
  return d != nullptr && window->testAttribute(Qt::WA_WState_Created) ? d : nullptr;
}

}  // namespace

std::optional<QMargins> FrameExtents(const QWidget* window) {
  Display* d = DisplayOf(window);
  if (d == nullptr) return std::nullopt;
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", True);
  if (extents == None) return std::nullopt;
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::optional<QMargins> frame;
  if (XGetWindowProperty(d, static_cast<::Window>(window->winId()), extents, 0, 4, False,
                         XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      type == XA_CARDINAL && format == 32 && count == 4) {
    // Format 32 comes as longs, whatever their size.
    const auto* v = reinterpret_cast<const long*>(data);
    frame = QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                     static_cast<int>(v[3]));
  }
  if (data != nullptr) XFree(data);
  return frame;
}

std::optional<QPoint> ServerPosition(const QWidget* window) {
  Display* d = DisplayOf(window);
  if (d == nullptr) return std::nullopt;
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
