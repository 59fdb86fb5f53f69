// The application icon (resource 128), drawn in code so that it is sharp at
// every size the desktop asks for.
#pragma once

#include <QIcon>
#include <QImage>

namespace zantor::res {

// Needs no application object, so the build can write the icon files too.
QImage DrawAppIcon(int size);
QIcon AppIcon();

}  // namespace zantor::res
