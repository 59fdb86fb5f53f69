#include "app_test_support.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include "platform/desktop.h"
#include "platform/template_dialog.h"

namespace zantor::apptest {

Rows ReadRows(const QString& path, const std::string& sql) {
  return testsupport::ReadHistory(path.toStdString(), sql);
}

int CountRows(const QString& path, const std::string& table) {
  const Rows r = ReadRows(path, "SELECT count(*) FROM " + table + ";");
  return r.empty() ? -1 : std::stoi(r[0][0]);
}

void TypeText(QWidget* w, const QString& text) { QTest::keyClicks(w, text); }

void PressEnter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }

void Keypad(QWidget* w, int key) {
  QTest::keyClick(w, static_cast<Qt::Key>(key), Qt::KeypadModifier);
}

void Hotkey(QWidget* w, int key) { QTest::keyClick(w, static_cast<Qt::Key>(key)); }

void CalcDialogTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  platform::SetMessageBoxHook([this](const QString& text, unsigned flags) {
    boxes_.push_back({text, flags});
    return (flags & 0xF) == platform::MB_YESNO ? yesNo_ : res::IDOK;
  });
  platform::SetModalHook([this](QDialog& dialog) -> std::optional<int> {
    auto* t = dynamic_cast<platform::TemplateDialog*>(&dialog);
    const int id = t != nullptr ? t->dialogTemplate().id : 0;
    dialogs_.push_back({id, dialog.windowTitle()});
    if (id == res::kStartModeTemplate) return onChoice_ ? onChoice_(dialog) : choice_;
    if (onOtherDialog_) return onOtherDialog_(dialog);
    return res::IDOK;
  });
}

void CalcDialogTest::TearDown() {
  platform::SetMessageBoxHook({});
  platform::SetModalHook({});
}

std::unique_ptr<CCalcDlg> CalcDialogTest::Start(int choice, const QString& dir) {
  choice_ = choice;
  auto d = std::make_unique<CCalcDlg>();
  d->OnInitDialog(dir.isEmpty() ? dir_.path() : dir);
  return d;
}

QString CalcDialogTest::DbPath() const { return dir_.filePath(QStringLiteral("QorvelDb.db")); }

QLineEdit* CalcDialogTest::Entry(const CCalcDlg& d) {
  return d.ItemAs<QLineEdit>(res::kEntryField);
}

void CalcDialogTest::Step(CCalcDlg& d, const QString& typed) {
  TypeText(Entry(d), typed);
  PressEnter(Entry(d));
}

std::vector<QString> CalcDialogTest::BoxTexts() const {
  std::vector<QString> texts;
  for (const ShownBox& b : boxes_) texts.push_back(b.text);
  return texts;
}

void StartedDialogTest::SetUp() {
  CalcDialogTest::SetUp();
  d_ = Start(res::IDCANCEL);
  entry_ = Entry(*d_);
}

void StartedDialogTest::CtrlV() { QTest::keyClick(entry_, Qt::Key_V, Qt::ControlModifier); }

bool StartedDialogTest::ContextMenuOpens() {
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), entry_->mapToGlobal(QPoint(2, 2)));
  QCoreApplication::sendEvent(entry_, &e);
  QWidget* popup = QApplication::activePopupWidget();
  if (popup != nullptr) popup->close();
  return popup != nullptr;
}

}  // namespace zantor::apptest
