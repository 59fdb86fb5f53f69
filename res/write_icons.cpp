// Build step: writes the icon at the sizes the desktop's icon theme uses.
#include <QString>
#include <cstdio>

#include "res/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: zantor-write-icons OUTPUT_DIR\n", stderr);
    return 2;
  }
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString path =
        QStringLiteral("%1/zantor-%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!zantor::res::DrawAppIcon(size).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
