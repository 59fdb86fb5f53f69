// One process for every dialog and browser test: the browser engine starts
// once. The environment has to be in place before QApplication exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The browser's helper processes refuse to start as root with their sandbox.
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  QTemporaryDir runtimeDir;
  setenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit().constData(), 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
