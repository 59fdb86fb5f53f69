// Where the X server has a window's client area.
#pragma once

#include <QMargins>
#include <QPoint>
#include <optional>

class QWidget;

namespace zantor::platform {

// The top left corner of `window`'s client area on the screen, asked of the
// X server; nullopt off X11 or before the window exists. The toolkit's own
// idea can be off by a window manager's frame it was never told about.
std::optional<QPoint> ServerPosition(const QWidget* window);

// The window manager's frame around `window` (_NET_FRAME_EXTENTS), in device
// pixels; nullopt off X11, before the window exists, or without a window
// manager that tells it.
std::optional<QMargins> FrameExtents(const QWidget* window);

}  // namespace zantor::platform
