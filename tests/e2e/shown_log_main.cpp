// zantor as the end-to-end tests build it: the program itself, plus a log of
// what the result field showed. Never installed.
#include <QFile>
#include <QPlainTextEdit>

#include "app/calc_dialog.h"
#include "app/run.h"
#include "res/control_ids.h"

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
  return zantor::app::RunZantor(argc, argv, [](zantor::app::CCalcDlg& dialog) {
    if (const QString log = qEnvironmentVariable("ZANTOR_SHOWN_LOG"); !log.isEmpty()) {
      new ShownTotalLog(dialog.ItemAs<QPlainTextEdit>(zantor::res::kResultField), log);
    }
  });
}
