// The main window's place: the top right corner of the primary screen.
#pragma once

class QWidget;

namespace zantor::platform {

// x of a window `frameWidth` wide: 355 pixels from the right edge, further
// left when the window is wider than that, never left of the screen.
int CornerX(int screenWidth, int frameWidth);

// Moves `window` to the corner now, and once more when a window manager's
// frame first changes its outer width: the frame is only known after the
// window is shown, and without the second move its right border would hang
// off the screen.
void PlaceInTopRightCorner(QWidget* window);

}  // namespace zantor::platform
