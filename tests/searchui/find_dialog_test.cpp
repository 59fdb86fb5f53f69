// The search dialog driven through its own widgets: what it shows when it
// opens, when the sort buttons rebuild the report, refused values, and the
// transaction every way out of it begins.
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "platform/numlock.h"
#include "search/correct_dialog.h"
#include "search/query.h"
#include "search/report.h"
#include "searchui_support.h"

namespace zantor::searchui {
namespace {

using search::CFindDlg;
using search::RequeryPending;

class FindDialogTest : public SearchUiTest {
 protected:
  std::unique_ptr<CFindDlg> Open(const QString& finalResult = QStringLiteral("-1,234,567.35")) {
    auto dialog = std::make_unique<CFindDlg>(*store_, finalResult);
    dialog->show();
    return dialog;
  }

  // As the user picks an entry: keyboard navigation in the closed list,
  // which emits the same signal as a choice with the mouse.
  static void ChooseFilter(CFindDlg& dialog, const QString& entry) {
    QComboBox* list = dialog.filterList();
    const int wanted = list->findText(entry);
    ASSERT_GE(wanted, 0) << entry.toStdString();
    while (list->currentIndex() != wanted) {
      QTest::keyClick(list, list->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
    }
  }

  // The report the dialog should show for `sql`, built from the same store.
  QByteArray Expected(const std::string& sql, const QString& finalResult) {
    return QByteArray::fromStdString(
        search::BuildReportGbk(store_->Query(sql), finalResult.toStdString()));
  }
};

TEST_F(FindDialogTest, EveryOpeningStartsWithLessThanAndAnEmptyValue) {
  RecordThreeSteps();
  for (int opening = 0; opening < 2; ++opening) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("查  找"));
    QStringList entries;
    for (int i = 0; i < dialog->filterList()->count(); ++i) {
      entries << dialog->filterList()->itemText(i);
    }
    EXPECT_EQ(entries, (QStringList{"*", "+", "-", "<", "=", ">", QStringLiteral("全")}));
    EXPECT_EQ(dialog->filterList()->currentText(), QStringLiteral("<"));
    EXPECT_EQ(dialog->valueField()->text(), QString());
    EXPECT_EQ(dialog->reportView()->documentsShown(), 0);
    // Leave this opening changed; the next must not inherit any of it.
    ChooseFilter(*dialog, QStringLiteral("全"));
    dialog->valueField()->setText(QStringLiteral("12"));
    ClickButton(*dialog, res::kLeaveButton);
  }
}

TEST_F(FindDialogTest, SortButtonsRebuildTheReportOnlyAfterAChange) {
  RecordThreeSteps();
  auto dialog = Open();
  search::ReportView& view = *dialog->reportView();

  // "<" with no value: nothing to show, and the flag is spent.
  ClickButton(*dialog, res::kDescendingButton);
  EXPECT_EQ(view.documentsShown(), 0);
  EXPECT_FALSE(RequeryPending());

  ChooseFilter(*dialog, QStringLiteral("全"));
  EXPECT_TRUE(RequeryPending());
  ClickButton(*dialog, res::kDescendingButton);
  ASSERT_EQ(view.documentsShown(), 1);
  EXPECT_FALSE(RequeryPending());
  EXPECT_EQ(view.document(),
            Expected("SELECT ID,oP,mdata,re FROM MyData  order by fdata Desc", "-1,234,567.35"));
  EXPECT_TRUE(view.document().contains(Gbk(QStringLiteral("每步操作结果"))));
  // Descending by the entered number: 1234567.5, 3, 0.05.
  EXPECT_LT(view.document().indexOf("3 -"), view.document().indexOf("2 *"));
  EXPECT_LT(view.document().indexOf("2 *"), view.document().indexOf("1 +"));

  // The same sort again without a change leaves the report as it is.
  ClickButton(*dialog, res::kDescendingButton);
  EXPECT_EQ(view.documentsShown(), 1);

  // A value typed under a filter that ignores it still counts as a change.
  dialog->valueField()->setText(QStringLiteral("5"));
  ClickButton(*dialog, res::kAscendingButton);
  ASSERT_EQ(view.documentsShown(), 2);
  EXPECT_EQ(view.document(),
            Expected("SELECT ID,oP,mdata,re FROM MyData  order By fdata Asc", "-1,234,567.35"));

  ChooseFilter(*dialog, QStringLiteral("<"));
  ClickButton(*dialog, res::kUnsortedButton);
  ASSERT_EQ(view.documentsShown(), 3);
  EXPECT_EQ(view.document(),
            Expected("SELECT ID,oP,mdata,re FROM MyData WHERE fdata<5", "-1,234,567.35"));
  EXPECT_FALSE(view.document().contains("3 -"));

  // An export spends the flag although the report did not change; a sort
  // then still shows what it asks for.
  dialog->valueField()->setText(QStringLiteral("4"));
  ASSERT_TRUE(RequeryPending());
  ASSERT_TRUE(dialog->ExportTo(path("rows.csv")));
  EXPECT_FALSE(RequeryPending());
  ClickButton(*dialog, res::kDescendingButton);
  ASSERT_EQ(view.documentsShown(), 4);
  EXPECT_EQ(view.document(), Expected("SELECT ID,oP,mdata,re FROM MyData WHERE fdata<4  order by "
                                      "fdata Desc",
                                      "-1,234,567.35"));
}

// Every press of a sort button shows the report in that button's order, the
// same button twice keeping the page.
TEST_F(FindDialogTest, EverySortButtonShowsItsOwnOrder) {
  RecordThreeSteps();
  auto dialog = Open();
  search::ReportView& view = *dialog->reportView();
  ChooseFilter(*dialog, QStringLiteral("全"));
  const struct {
    int button;
    const char* sql;
    int shown;
  } presses[] = {
      {res::kDescendingButton, "SELECT ID,oP,mdata,re FROM MyData  order by fdata Desc", 1},
      {res::kAscendingButton, "SELECT ID,oP,mdata,re FROM MyData  order By fdata Asc", 2},
      {res::kAscendingButton, "SELECT ID,oP,mdata,re FROM MyData  order By fdata Asc", 2},
      {res::kUnsortedButton, "SELECT ID,oP,mdata,re FROM MyData", 3},
      {res::kDescendingButton, "SELECT ID,oP,mdata,re FROM MyData  order by fdata Desc", 4},
  };
  for (const auto& p : presses) {
    SCOPED_TRACE(p.sql);
    ClickButton(*dialog, p.button);
    EXPECT_EQ(view.documentsShown(), p.shown);
    EXPECT_EQ(view.document(), Expected(p.sql, "-1,234,567.35"));
    EXPECT_FALSE(RequeryPending());
  }
}

// The wheel over the report is the report's; anywhere else it steps the
// window's opacity.
TEST_F(FindDialogTest, TheWheelOverTheReportLeavesTheOpacity) {
  auto dialog = Open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  auto* slider = dialog->ItemAs<QSlider>(res::kOpacitySlider);
  auto turn = [&](QWidget* over) {
    const QPoint centre = over->rect().center();
    QWheelEvent e(centre, over->mapToGlobal(QPointF(centre)), QPoint(), QPoint(0, -120),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(over, &e);
  };
  const int start = slider->value();
  QWidget* report = dialog->reportView();
  turn(report);
  if (report->focusProxy() != nullptr) turn(report->focusProxy());
  EXPECT_EQ(slider->value(), start);
  turn(dialog->valueField());
  EXPECT_EQ(slider->value(), start - 5);
}

TEST_F(FindDialogTest, EqualsMatchesTheGroupedEntryAndLeavesTheFieldAsTyped) {
  RecordThreeSteps();
  auto dialog = Open();
  ChooseFilter(*dialog, QStringLiteral("="));
  dialog->valueField()->setText(QStringLiteral("1234567.5"));
  ClickButton(*dialog, res::kUnsortedButton);
  ASSERT_EQ(dialog->reportView()->documentsShown(), 1);
  EXPECT_EQ(
      dialog->reportView()->document(),
      Expected("SELECT ID,oP,mdata,re FROM MyData WHERE mdata='1,234,567.5'", "-1,234,567.35"));
  EXPECT_TRUE(dialog->reportView()->document().contains("3 -"));
  EXPECT_EQ(dialog->valueField()->text(), QStringLiteral("1234567.5"));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FindDialogTest, ARefusedValueShowsTheMessageAndNoReport) {
  RecordThreeSteps();
  auto dialog = Open();
  struct Case {
    const char* filter;
    const char* value;
  };
  for (const Case& c : {Case{"<", "5-"}, Case{">", ".5"}, Case{"=", "1.2.3"}, Case{"<", "-"}}) {
    SCOPED_TRACE(std::string(c.filter) + " " + c.value);
    ChooseFilter(*dialog, QString::fromUtf8(c.filter));
    dialog->valueField()->setText(QString::fromUtf8(c.value));
    ASSERT_TRUE(RequeryPending());
    boxes_.clear();
    ClickButton(*dialog, res::kDescendingButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], QStringLiteral("请检查数据是否合理。"));
    EXPECT_EQ(dialog->reportView()->documentsShown(), 0);
    EXPECT_FALSE(RequeryPending());
    EXPECT_EQ(dialog->valueField()->text(), QString::fromUtf8(c.value));
  }
  // Operator filters never look at the value, however odd it is.
  boxes_.clear();
  ChooseFilter(*dialog, QStringLiteral("+"));
  ClickButton(*dialog, res::kDescendingButton);
  EXPECT_TRUE(boxes_.empty());
  ASSERT_EQ(dialog->reportView()->documentsShown(), 1);
  EXPECT_EQ(dialog->reportView()->document(),
            Expected("SELECT ID,oP,mdata,re FROM MyData WHERE oP='+'  order by fdata Desc",
                     "-1,234,567.35"));
  // A negative value with its point in place is fine.
  ChooseFilter(*dialog, QStringLiteral(">"));
  dialog->valueField()->setText(QStringLiteral("-0.5"));
  ClickButton(*dialog, res::kDescendingButton);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(dialog->reportView()->documentsShown(), 2);
}

// Keys typed into the value field: Enter and Esc do nothing there (they
// neither close the dialog nor sort), the keypad minus toggles the sign on
// release and counts as a change.
TEST_F(FindDialogTest, TheValueFieldKeepsEnterAndEscToItself) {
  RecordThreeSteps();
  auto dialog = Open();
  QLineEdit* field = dialog->valueField();
  QTest::keyClicks(field, QStringLiteral("12"));
  EXPECT_EQ(field->text(), QStringLiteral("12"));
  RequeryPending() = false;
  QTest::keyClick(field, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(field->text(), QStringLiteral("-12"));
  EXPECT_EQ(field->cursorPosition(), 3);
  EXPECT_TRUE(RequeryPending());
  QTest::keyClick(field, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(field->text(), QStringLiteral("12"));

  const int begins = BeginCounter::count();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(field, key);
    EXPECT_TRUE(dialog->isVisible()) << key;
  }
  EXPECT_EQ(field->text(), QStringLiteral("12"));
  EXPECT_EQ(dialog->reportView()->documentsShown(), 0);
  EXPECT_EQ(BeginCounter::count(), begins);
}

// Both number fields of the search take the main keyboard's '.' and a
// layout's keypad comma as the keypad point: once only.
TEST_F(FindDialogTest, EveryDecimalKeyTypesOnePointInTheValueAndCorrectionFields) {
  auto dialog = Open();
  search::CCorrectDlg correct(1, '+', QStringLiteral("3"));
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {Qt::Key_Period, Qt::NoModifier, "2", "2."},
      {Qt::Key_Period, Qt::NoModifier, "2.5", "2.5"},
      {Qt::Key_Comma, Qt::KeypadModifier, "-2", "-2."},
      {Qt::Key_Comma, Qt::NoModifier, "2", "2"},
  };
  for (QLineEdit* field : {dialog->valueField(), correct.entryField()}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.before) + " key " + std::to_string(c.key));
      field->setText(QString::fromLatin1(c.before));
      field->end(false);
      QTest::keyClick(field, static_cast<Qt::Key>(c.key), c.modifiers);
      EXPECT_EQ(field->text(), QString::fromLatin1(c.after));
    }
  }
}

// The value field's menu, opened by the Menu key, pastes through the field's
// own cleaning: only the number's characters, and "0" instead of a text of
// 100 bytes or more, which is not pasted.
TEST_F(FindDialogTest, TheValueFieldsMenuPastesCleanedText) {
  auto dialog = Open();
  QLineEdit* field = dialog->valueField();
  const auto menuPaste = [field] {
    QContextMenuEvent e(QContextMenuEvent::Keyboard, QPoint(2, 2),
                        field->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(field, &e);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "no menu opened";
    for (QAction* a : menu->actions()) {
      if (a->text().startsWith(QStringLiteral("&Paste"))) a->trigger();
    }
    menu->close();
  };
  QGuiApplication::clipboard()->setText(QStringLiteral("小于 -3.5 元"));
  menuPaste();
  EXPECT_EQ(field->text(), QStringLiteral("-3.5"));
  QGuiApplication::clipboard()->setText(QString(150, QLatin1Char('1')));
  menuPaste();
  EXPECT_EQ(field->text(), QStringLiteral("-3.5"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0"));
}

// The value field keeps NumLock on as the entry field does: once per real
// release, never on the press or on auto-repeat.
TEST_F(FindDialogTest, TheValueFieldGuardsNumLockOnEachRealRelease) {
  auto dialog = Open();
  QLineEdit* field = dialog->valueField();
  int guarded = 0;
  platform::SetNumLockHook([&guarded] { ++guarded; });
  auto send = [field](QEvent::Type type, bool autoRepeat) {
    QKeyEvent e(type, Qt::Key_NumLock, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(field, &e);
  };
  QTest::keyClicks(field, QStringLiteral("7"));
  send(QEvent::KeyPress, false);
  EXPECT_EQ(guarded, 0) << "on the press";
  for (int i = 0; i < 3; ++i) {
    send(QEvent::KeyRelease, true);
    send(QEvent::KeyPress, true);
  }
  EXPECT_EQ(guarded, 0) << "on auto-repeat";
  send(QEvent::KeyRelease, false);
  EXPECT_EQ(guarded, 1);
  QTest::keyClick(field, Qt::Key_NumLock);
  EXPECT_EQ(guarded, 2);
  EXPECT_EQ(field->text(), QStringLiteral("7"));
  platform::SetNumLockHook({});
}

// The flag belongs to the process: opening the dialog neither sets nor
// clears it.
TEST_F(FindDialogTest, TheQueryFlagCarriesFromOneOpeningToTheNext) {
  RecordThreeSteps();
  {
    auto dialog = Open();
    ChooseFilter(*dialog, QStringLiteral("全"));
    ClickButton(*dialog, res::kUnsortedButton);
    ASSERT_EQ(dialog->reportView()->documentsShown(), 1);
    ClickButton(*dialog, res::kLeaveButton);
  }
  {
    auto dialog = Open();
    EXPECT_FALSE(RequeryPending());
    dialog->valueField()->setText(QStringLiteral("7"));
    ClickButton(*dialog, res::kLeaveButton);
  }
  auto dialog = Open();
  EXPECT_TRUE(RequeryPending());
  EXPECT_EQ(dialog->reportView()->documentsShown(), 0);
}

// Each way out begins one new transaction, so the main window's next save
// commits and does not report a failure.
TEST_F(FindDialogTest, EveryWayOutBeginsOneTransaction) {
  RecordThreeSteps();
  struct Way {
    const char* name;
    std::function<void(CFindDlg&)> leave;
  };
  const Way ways[] = {
      {"close box", [](CFindDlg& d) { d.close(); }},
      {"leave button", [](CFindDlg& d) { ClickButton(d, res::kLeaveButton); }},
      {"Esc", [](CFindDlg& d) { QTest::keyClick(d.filterList(), Qt::Key_Escape); }},
      {"reject", [](CFindDlg& d) { d.reject(); }},
      {"accept", [](CFindDlg& d) { d.accept(); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    ASSERT_FALSE(store_->inTransaction());
    CFindDlg dialog(*store_, QStringLiteral("-1,234,567.35"));
    const int begins = BeginCounter::count();
    bool acted = false;
    QTimer::singleShot(0, &dialog, [&] {
      acted = true;
      way.leave(dialog);
    });
    // Backstop: a way out that fails must not hang the run.
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(99); });
    const int result = dialog.DoModal();
    EXPECT_TRUE(acted);
    EXPECT_EQ(result, res::IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(BeginCounter::count() - begins, 1);
    EXPECT_TRUE(store_->inTransaction());
    EXPECT_EQ(store_->SaveLastTotal(2, "-1,234,567.35"), store::Notice::kNone);
  }
}

}  // namespace
}  // namespace zantor::searchui
