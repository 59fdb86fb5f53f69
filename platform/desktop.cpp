#include "platform/desktop.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "res/dialog_templates.h"

namespace zantor::platform {
namespace {

MessageBoxHook& BoxHook() {
  static MessageBoxHook hook;
  return hook;
}

ModalHook& DialogHook() {
  static ModalHook hook;
  return hook;
}

}  // namespace

QString AppCaption() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

int MessageBox(QWidget* owner, const QString& text, unsigned flags) {
  if (BoxHook()) return BoxHook()(text, flags);
  QMessageBox box(owner);
  box.setWindowTitle(AppCaption());
  box.setText(text);
  switch (flags & 0xF0) {
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONHAND:
      box.setIcon(QMessageBox::Critical);
      break;
    default:
      box.setIcon(QMessageBox::Warning);
      break;
  }
  if ((flags & 0xF) == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.setDefaultButton((flags & MB_DEFBUTTON2) != 0 ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? res::IDYES : res::IDNO;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.exec();
  return res::IDOK;
}

QTranslator* LoadToolkitTranslations() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_zh_CN"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator)) {
    return translator;
  }
  delete translator;
  return nullptr;
}

int RunModal(QDialog& dialog) {
  if (DialogHook()) {
    if (std::optional<int> answer = DialogHook()(dialog)) return *answer;
  }
  return dialog.exec();
}

void SetMessageBoxHook(MessageBoxHook hook) { BoxHook() = std::move(hook); }
void SetModalHook(ModalHook hook) { DialogHook() = std::move(hook); }

}  // namespace zantor::platform
