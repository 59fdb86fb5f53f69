#include "app/run.h"

#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "app/calc_dialog.h"
#include "app/messages.h"
#include "platform/desktop.h"
#include "platform/launch.h"
#include "platform/platform_choice.h"
#include "platform/single_instance.h"
#include "res/app_icon.h"

namespace zantor::app {

int RunZantor(int argc, char** argv, const std::function<void(CCalcDlg&)>& prepare) {
  // The browser engine refuses to start its sandbox as root.
  if (getuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  // Left set for the browser engine's helpers, which then match the window.
  if (const char* platform = zantor::platform::PreferredPlatform(std::getenv("QT_QPA_PLATFORM"),
                                                                 std::getenv("DISPLAY"))) {
    setenv("QT_QPA_PLATFORM", platform, 1);
  }
  QApplication app(argc, argv);
  QApplication::setWindowIcon(zantor::res::AppIcon());
  zantor::platform::LoadToolkitTranslations();
  if (!zantor::platform::AcquireSingleInstance("MyAPP")) {
    zantor::platform::MessageBox(nullptr, zantor::app::kAlreadyRunning, zantor::platform::MB_OK);
    zantor::platform::RingRunningInstance("MyAPP");
    return 0;
  }
  CCalcDlg dialog;
  // A later start brings this window to the front.
  zantor::platform::ListenForLaterStarts("MyAPP", &dialog, [&dialog] {
    if (!dialog.isVisible()) return;  // still at the start-up choice
    if (dialog.isMinimized()) dialog.showNormal();
    dialog.raise();
    dialog.activateWindow();
  });
  if (prepare) prepare(dialog);
  dialog.OnInitDialog(zantor::platform::ExecutableDir());
  dialog.exec();
  return 0;
}

}  // namespace zantor::app
