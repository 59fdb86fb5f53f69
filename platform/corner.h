// The main window's place: the top right corner of the primary screen.
#pragma once

class QWidget;

namespace zantor::platform {

// x of a window `frameWidth` wide: 355 pixels from the right edge, further
// left when the window is wider than that, never left of the screen.
int CornerX(int screenWidth, int frameWidth);

// Moves `window` to the corner of the screen's available area now, and once
// more when its window manager's frame is known, after it is shown: the frame,
// title bar and borders included, then lies in the corner (a frame that is
// not named is measured by its width only). Without the second move its title
// bar or its right border could hang off the screen.
void PlaceInTopRightCorner(QWidget* window);

}  // namespace zantor::platform
