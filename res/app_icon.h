// The application icon (resource 128), drawn in code so that it is sharp at
// every size the desktop asks for.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace zantor::res {

QPixmap DrawAppIcon(int size);
QIcon AppIcon();

}  // namespace zantor::res
