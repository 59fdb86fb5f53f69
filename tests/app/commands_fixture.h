// The main dialog started and shown, with the commands the tests give it; the
// command tests and the search hand-over tests build on it.
#pragma once

#include <QAction>
#include <QLineEdit>
#include <QTest>

#include "app_test_support.h"

namespace zantor::apptest {

class CommandsTest : public StartedDialogTest {
 protected:
  void ShowActive() {
    d_->show();
    d_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d_.get()));
  }

  void Step(const QString& typed) {
    TypeText(entry_, typed);
    PressEnter(entry_);
  }

  void Click(int id) { QTest::mouseClick(d_->Item(id), Qt::LeftButton); }
  void Menu(int command) {
    QAction* action = d_->MenuCommand(command);
    ASSERT_NE(action, nullptr) << command;
    action->trigger();
  }
  // Entry has the focus and the caret after its last character.
  void ExpectRefocused() {
    EXPECT_EQ(d_->focusWidget(), entry_);
    EXPECT_EQ(entry_->cursorPosition(), entry_->text().size());
    EXPECT_FALSE(entry_->hasSelectedText());
  }
};

}  // namespace zantor::apptest
