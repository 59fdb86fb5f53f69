// Runs the dialog tests on the offscreen platform, with the runtime and data
// directories in a temporary folder so that no test touches the user's files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 2;
  QByteArray platform = "offscreen";
  QByteArray screens;
#if defined(ZANTOR_TEST_SCREEN_WIDTH)
  screens = QByteArray(R"([{"name":"narrow","x":0,"y":0,"width":)") +
            QByteArray::number(ZANTOR_TEST_SCREEN_WIDTH) + R"(,"height":480,"logicalDpi":96}])";
#elif defined(ZANTOR_TEST_PRIMARY_SCREEN_ON_THE_RIGHT)
  // The primary screen, lower than and to the right of a second one.
  screens = R"([{"name":"a-primary","x":1024,"y":40,"width":1280,"height":800,"logicalDpi":96},)"
            R"({"name":"b-left","x":0,"y":0,"width":1024,"height":768,"logicalDpi":96}])";
#endif
  if (!screens.isEmpty()) {
    QFile config(home.filePath(QStringLiteral("screens.json")));
    if (!config.open(QIODevice::WriteOnly)) return 2;
    config.write(R"({"screens":)" + screens + "}");
    config.close();
    platform += ":configfile=" + config.fileName().toLocal8Bit();
  }
#ifdef ZANTOR_TEST_PLATFORM_FROM_ENVIRONMENT
  // Run inside the session the test was started in (a compositor).
  platform = qgetenv("QT_QPA_PLATFORM");
#endif
  qputenv("QT_QPA_PLATFORM", platform);
  qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
