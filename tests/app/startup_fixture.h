// The start-up tests' fixture, which the shutdown tests build on: a history
// made by a first run, and the choice dialog answered for real.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "app_test_support.h"

namespace zantor::apptest {

class StartupTest : public CalcDialogTest {
 protected:
  // A history of two steps (12.34, then 0.05) closed normally: the file holds
  // the rows and the saved total 12.39.
  void MakeHistory() {
    auto d = Start(res::IDCANCEL);
    TypeText(Entry(*d), QStringLiteral("1234"));
    PressEnter(Entry(*d));
    TypeText(Entry(*d), QStringLiteral("5"));
    PressEnter(Entry(*d));
    ASSERT_EQ(Result(*d), QStringLiteral("12.39"));
    d->close();
    ASSERT_EQ(MyDataRows(), 2);
    dialogs_.clear();
    boxes_.clear();
  }

  // Runs the choice dialog for real and presses `key` in it.
  void PressInChoiceDialog(Qt::Key key) {
    onChoice_ = [this, key](QDialog& choice) -> std::optional<int> {
      QTimer::singleShot(0, &choice, [&choice, key, this] {
        choiceWasVisible_ = choice.isVisible();
        QWidget* target = choice.focusWidget() != nullptr ? choice.focusWidget() : &choice;
        QTest::keyClick(target, key);
      });
      return std::nullopt;
    };
  }

  // Runs the choice dialog for real and closes it as the window manager's
  // close box does: a close request on its window, not a key.
  void CloseChoiceDialog() {
    onChoice_ = [this](QDialog& choice) -> std::optional<int> {
      QTimer::singleShot(0, &choice, [&choice, this] {
        choiceWasVisible_ = choice.isVisible();
        choice.windowHandle()->close();
      });
      return std::nullopt;
    };
  }

  bool choiceWasVisible_ = false;
};

}  // namespace zantor::apptest
