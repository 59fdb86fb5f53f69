// zantor: the adding machine's window.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <cstdlib>

#include "app/calc_dialog.h"
#include "app/messages.h"
#include "platform/desktop.h"
#include "platform/launch.h"
#include "platform/platform_choice.h"
#include "platform/single_instance.h"
#include "res/app_icon.h"

namespace {

// For the end-to-end tests: with ZANTOR_SHOWN_LOG set, every total the result
// field paints is appended to that file, one a line, so that a test can tell
// what was on the screen when the program was killed without asking the
// history file it checks.
class ShownTotalLog : public QObject {
 public:
  ShownTotalLog(QPlainTextEdit* field, const QString& path)
      : QObject(field), field_(field), file_(path) {
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return;
    field_->viewport()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const QString text = field_->toPlainText();
      if (text != last_) {
        last_ = text;
        file_.write((text + QLatin1Char('\n')).toUtf8());
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QPlainTextEdit* field_;
  QFile file_;
  QString last_;
};

}  // namespace

int main(int argc, char** argv) {
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
    return 0;
  }
  zantor::app::CCalcDlg dialog;
  if (const QString log = qEnvironmentVariable("ZANTOR_SHOWN_LOG"); !log.isEmpty()) {
    new ShownTotalLog(dialog.ItemAs<QPlainTextEdit>(zantor::res::kResultField), log);
  }
  dialog.OnInitDialog(zantor::platform::ExecutableDir());
  dialog.exec();
  return 0;
}
