// The fault tests' main: a small disk of their own first (before any thread
// exists), then the toolkit offscreen with its runtime and data directories in
// a temporary folder, so that no test touches the user's files.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "fault_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string why;
  const std::string disk = zantor::faults::MountSmallDisk(&why);
  if (disk.empty()) {
    std::fprintf(stderr, "no small disk (%s): the ENOSPC cases are skipped\n", why.c_str());
  }
  int status = 2;
  {
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
#ifdef ZANTOR_FAULTS_WEBENGINE
    // The browser's helper processes refuse to start as root with their sandbox.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
    status = RUN_ALL_TESTS();
  }
  if (!disk.empty()) {
    ::umount2(disk.c_str(), MNT_DETACH);
    ::rmdir(disk.c_str());
  }
  return status;
}
