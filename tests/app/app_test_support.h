// Drives the real main dialog: start-up answered through the desktop hooks,
// keys sent to the entry field, the history read back from the file.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/calc_dialog.h"
#include "res/dialog_templates.h"
#include "tests/support/history_file.h"

class QDialog;
class QLineEdit;
class QWidget;

// Failure messages show the text, not its UTF-16 code units.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zantor::apptest {

using app::CCalcDlg;

struct ShownBox {
  QString text;
  unsigned flags = 0;
};

struct ShownDialog {
  int templateId = 0;  // 0 for a dialog that is not built from a template
  QString caption;
};

using testsupport::Rows;

// Every row of `sql` on the file at `path`, through a connection of its own,
// so what it sees is what another process would find in the file (NULL as
// "<null>"; an error fails the test).
Rows ReadRows(const QString& path, const std::string& sql);
int CountRows(const QString& path, const std::string& table);

// Key strokes on a widget, press and release each, as a user makes them.
void TypeText(QWidget* w, const QString& text);
void PressEnter(QWidget* w);
void Keypad(QWidget* w, int key);
// A hotkey: the key goes down and comes up again.
void Hotkey(QWidget* w, int key);

class CalcDialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A main dialog on `dir` (default: this test's folder) whose start-up
  // choice is answered with `choice`.
  std::unique_ptr<CCalcDlg> Start(int choice = res::IDOK, const QString& dir = {});

  QString DbPath() const;
  static QLineEdit* Entry(const CCalcDlg& d);
  // One step as the user makes it: the number typed into the entry field,
  // then Enter.
  static void Step(CCalcDlg& d, const QString& typed);
  static QString Result(const CCalcDlg& d) { return d.GetDlgItemText(res::kResultField); }
  int MyDataRows() const { return CountRows(DbPath(), "MyData"); }
  std::vector<QString> BoxTexts() const;

  QTemporaryDir dir_;
  std::vector<ShownBox> boxes_;
  std::vector<ShownDialog> dialogs_;
  // The answer to every Yes/No box; OK boxes are answered IDOK.
  int yesNo_ = res::IDNO;
  // When set, answers the start-up choice instead of Start's `choice`
  // (nullopt lets the dialog really run).
  std::function<std::optional<int>(QDialog&)> onChoice_;
  // Other dialogs get IDOK unless this says otherwise.
  std::function<std::optional<int>(QDialog&)> onOtherDialog_;

 private:
  int choice_ = res::IDOK;
};

// A main dialog already started (history cleared), with its entry field.
class StartedDialogTest : public CalcDialogTest {
 protected:
  void SetUp() override;

  using CalcDialogTest::Step;
  void Step(const QString& typed) { Step(*d_, typed); }
  void CtrlV();
  // Sends the context-menu request that follows a right press; true when the
  // field opened its menu (closed again at once).
  bool ContextMenuOpens();

  std::unique_ptr<CCalcDlg> d_;
  QLineEdit* entry_ = nullptr;
};

}  // namespace zantor::apptest
