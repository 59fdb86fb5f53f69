// Correcting a step from the report: the double-click, the small dialog, the
// report shown again, the entry titles and the refusals.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <functional>

#include "search/correct_dialog.h"
#include "searchui_support.h"

namespace zantor::searchui {
namespace {

using search::CCorrectDlg;

// What the correction dialog showed when it opened.
struct Seen {
  QString caption;
  int op = -1;
  QString entry;
  QRect place;  // where it was put, its frame's allowance included
};

// Where a dialog not yet shown will stand: a move before the first show
// places the frame, which the dialog allows for.
QRect Outer(const QWidget& d) {
  return {d.pos(), d.size() + QSize(2 * CCorrectDlg::kFrameAllowance,
                                    CCorrectDlg::kTitleAllowance + CCorrectDlg::kFrameAllowance)};
}

class CorrectionUiTest : public SearchUiTest {
 protected:
  void ShowAll(const QString& filter = QStringLiteral("全"),
               const QString& total = QStringLiteral("-1,234,567.35")) {
    dialog_ = std::make_unique<search::CFindDlg>(*store_, total);
    dialog_->show();
    dialog_->filterList()->setCurrentIndex(dialog_->filterList()->findText(filter));
    dialog_->OnFilterChange();
    ClickButton(*dialog_, res::kUnsortedButton);
    ASSERT_TRUE(WaitForReport(view()));
  }
  search::ReportView& view() { return *dialog_->reportView(); }

  // Corrects step `id` to `entry` through the dialog and waits until the
  // report shows it, by either way; true when the page was read again.
  bool CorrectAndWait(long long id, const QString& entry) {
    const int shown = view().documentsShown();
    const int replaced = view().replacementsShown();
    AnswerWith({{-1, entry, res::IDOK}});
    seen_.clear();
    dialog_->CorrectRow(id);
    EXPECT_TRUE(WaitUntil(
        [&] { return view().documentsShown() > shown || view().replacementsShown() > replaced; }));
    if (view().documentsShown() == shown) return false;
    EXPECT_TRUE(WaitForReport(view()));
    return true;
  }

  // Answers each correction dialog in turn: notes what it showed, then sets
  // the operator (an index, or -1 to leave it) and the entry and ends it with
  // `answer`.
  struct Answer {
    int op;
    QString entry;
    int answer;
  };
  void AnswerWith(std::vector<Answer> answers) {
    answers_ = std::move(answers);
    platform::SetModalHook([this](QDialog& d) -> std::optional<int> {
      auto* c = qobject_cast<CCorrectDlg*>(&d);
      if (c == nullptr) return std::nullopt;
      seen_.push_back({c->windowTitle(), c->operatorList()->currentIndex(), c->entry(), Outer(*c)});
      if (seen_.size() > answers_.size()) return res::IDCANCEL;
      const Answer& a = answers_[seen_.size() - 1];
      if (a.op >= 0) c->operatorList()->setCurrentIndex(a.op);
      c->entryField()->setText(a.entry);
      return a.answer;
    });
  }

  // A double-click on cell `cell` of the table's row `row`, as the page gets it.
  void DoubleClick(int row, int cell) {
    RunJs(view(), QStringLiteral("document.querySelectorAll('table.D tr')[%1].cells[%2]"
                                 ".dispatchEvent(new MouseEvent('dblclick',{bubbles:true})); 0")
                      .arg(row)
                      .arg(cell));
  }
  QString TitleOnHover(int row, int cell) {
    return RunJs(view(),
                 QStringLiteral("var c = document.querySelectorAll('table.D tr')[%1].cells[%2];"
                                "c.dispatchEvent(new MouseEvent('mouseover',{bubbles:true}));"
                                "c.title")
                     .arg(row)
                     .arg(cell))
        .toString();
  }
  std::vector<std::string> Totals() {
    const store::Table t = store_->Query("SELECT re FROM MyData ORDER BY ID;");
    return {t.cells.begin() + std::min<size_t>(t.cells.size(), 1), t.cells.end()};
  }
  std::string Document() {
    const QByteArray d = view().document();
    return std::string(d.constData(), static_cast<size_t>(d.size()));
  }

  std::unique_ptr<search::CFindDlg> dialog_;
  std::vector<Answer> answers_;
  std::vector<Seen> seen_;
};

TEST_F(CorrectionUiTest, DoubleClickedRowIsCorrectedAndTheReportShownAgain) {
  RecordThreeSteps();
  ShowAll();
  const int shown = view().documentsShown();
  const int replaced = view().replacementsShown();
  AnswerWith({{-1, QStringLiteral("0.06"), res::IDOK}});
  DoubleClick(1, 1);
  // Nothing can move under the whole history unsorted: the rows are put
  // into the page as it stands.
  ASSERT_TRUE(WaitUntil([&] { return view().replacementsShown() > replaced; }));
  EXPECT_EQ(view().documentsShown(), shown);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].caption, QStringLiteral("改正第 1 步"));
  EXPECT_EQ(seen_[0].op, 0);  // ＋
  EXPECT_EQ(seen_[0].entry, QStringLiteral("0.05"));

  EXPECT_EQ(Totals(), (std::vector<std::string>{"0.06", "0.18", "-1,234,567.32"}));
  const std::string doc = Document();
  EXPECT_NE(doc.find("<tr><td>1 +</td><td>0.06</td><td style='color:blue'>0.06"),
            std::string::npos);
  EXPECT_NE(doc.find("<tr><td>2 *</td><td>3</td><td>0.18"), std::string::npos);
  // The last run was corrected: its new total is the final one, here and in
  // the window once the dialog closes.
  EXPECT_NE(doc.find("-1,234,567.32</td></tr></table>"), std::string::npos);
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("-1,234,567.32"));
  int scale = 0;
  std::string total;
  ASSERT_TRUE(store_->TakeCorrectedTotal(&scale, &total));
  EXPECT_EQ(total, "-1,234,567.32");
  EXPECT_EQ(scale, 2);
  EXPECT_FALSE(store_->TakeCorrectedTotal(&scale, &total));  // once only

  // The entry before is a title on the corrected row's entry cell only.
  EXPECT_EQ(TitleOnHover(1, 1), QStringLiteral("改正前：0.05"));
  EXPECT_EQ(TitleOnHover(1, 2), QString());
  EXPECT_EQ(TitleOnHover(2, 1), QString());
  EXPECT_TRUE(boxes_.empty());

  // The dialog stood clear of the row it corrected.
  const QRect band = view().lastRowBand();
  ASSERT_FALSE(band.isEmpty());
  const QRect row(view().mapToGlobal(band.topLeft()), band.size());
  EXPECT_FALSE(seen_[0].place.intersects(row))
      << "dialog " << seen_[0].place.y() << "+" << seen_[0].place.height() << ", row " << row.y()
      << "+" << row.height();
}

// A corrected row's entry is marked where it is laid out, without hovering;
// the others are not, and the document's text does not change for it.
TEST_F(CorrectionUiTest, CorrectedEntriesAreMarkedInThePage) {
  RecordThreeSteps();
  ShowAll();
  // The first cells of the rows whose entry is marked.
  const QString marked = QStringLiteral(
      "Array.prototype.filter.call(document.querySelectorAll('table.D tr'), function (r) {"
      "  return r.cells.length > 1 && r.cells[1].classList.contains('zantor-corrected');"
      "}).map(function (r) { return r.cells[0].textContent; }).join(',')");
  EXPECT_EQ(RunJs(view(), marked).toString(), QString());
  CorrectAndWait(2, QStringLiteral("4"));
  EXPECT_TRUE(WaitUntil([&] { return RunJs(view(), marked).toString() == "2 *"; }))
      << RunJs(view(), marked).toString().toStdString();
  EXPECT_TRUE(RunJs(view(), QStringLiteral("var rows = document.querySelectorAll('table.D tr');"
                                           "getComputedStyle(rows[2].cells[1]).color !== "
                                           "getComputedStyle(rows[1].cells[1]).color"))
                  .toBool());
  // Shown again from the history, the page marks it as well.
  ClickButton(*dialog_, res::kDescendingButton);
  ASSERT_TRUE(WaitForReport(view()));
  EXPECT_TRUE(WaitUntil([&] { return RunJs(view(), marked).toString() == "2 *"; }));
  EXPECT_EQ(Document().find("zantor-corrected"), std::string::npos);
}

// The entry opens selected and takes the usual editing keys.
TEST_F(CorrectionUiTest, EntryTakesTheUsualEditingKeys) {
  CCorrectDlg d(4, '+', QStringLiteral("1,000.5"));
  d.show();
  QLineEdit* entry = d.entryField();
  EXPECT_EQ(d.focusWidget(), entry);
  EXPECT_EQ(entry->selectedText(), QStringLiteral("1000.5"));
  struct Case {
    const char* name;
    std::function<void()> keys;
    const char* text;
  };
  auto key = [entry](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(entry, k, m);
  };
  const std::vector<Case> cases = {
      {"typed over the selection", [&] { QTest::keyClicks(entry, QStringLiteral("2.5")); }, "2.5"},
      {"point over a selected point",
       [&] {
         entry->selectAll();
         key(Qt::Key_Period);
         QTest::keyClicks(entry, QStringLiteral("5"));
       },
       ".5"},
      {"Ctrl+A, Backspace, 2.5",
       [&] {
         key(Qt::Key_A, Qt::ControlModifier);
         key(Qt::Key_Backspace);
         QTest::keyClicks(entry, QStringLiteral("2.5"));
       },
       "2.5"},
      {"Home, Delete, End, Backspace",
       [&] {
         entry->setText(QStringLiteral("1234"));
         key(Qt::Key_Home);
         key(Qt::Key_Delete);
         key(Qt::Key_End);
         key(Qt::Key_Backspace);
       },
       "23"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.keys();
    EXPECT_EQ(entry->text(), QString::fromLatin1(c.text));
  }
}

// Beside the row, never over it, and on the screen: below a row near the
// top, above one near the bottom.
TEST_F(CorrectionUiTest, DialogIsPlacedBesideTheRow) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  for (int top : {area.top() + 40, area.center().y(), area.bottom() - 30}) {
    SCOPED_TRACE(top);
    CCorrectDlg d(1, '+', QStringLiteral("3"));
    const QRect row(area.left() + 100, top, 400, 18);
    d.PlaceBeside(row);
    const QRect place = Outer(d);
    EXPECT_FALSE(place.intersects(row));
    EXPECT_TRUE(area.contains(place));
  }
}

TEST_F(CorrectionUiTest, NotesAreTitlesBesideTheEntryBeforeAndTheDocumentStaysAsItWas) {
  RecordThreeSteps();
  ShowAll();
  const std::string without = Document();
  ASSERT_EQ(store_->SetNote(1, "发票 7"), store::CorrectionStatus::kDone);
  ASSERT_EQ(store_->SetNote(3, "运费"), store::CorrectionStatus::kDone);
  ShowAll();
  EXPECT_EQ(Document(), without);
  EXPECT_EQ(TitleOnHover(1, 1), QStringLiteral("备注：发票 7"));
  EXPECT_EQ(TitleOnHover(2, 1), QString());
  EXPECT_EQ(TitleOnHover(3, 1), QStringLiteral("备注：运费"));
  AnswerWith({{-1, QStringLiteral("0.06"), res::IDOK}});
  const int replaced = view().replacementsShown();
  DoubleClick(1, 1);
  ASSERT_TRUE(WaitUntil([&] { return view().replacementsShown() > replaced; }));
  EXPECT_EQ(TitleOnHover(1, 1), QStringLiteral("改正前：0.05\n备注：发票 7"));
}

// Under the filter "-" only step 3 is listed: its row is the table's second,
// and the final row the third, so neither a row's place nor the final row
// may stand for an ID.
TEST_F(CorrectionUiTest, OnlyDataRowsOpenTheDialogAndCancelChangesNothing) {
  RecordThreeSteps();
  ShowAll(QStringLiteral("-"));
  const int shown = view().documentsShown();
  AnswerWith({{-1, QStringLiteral("7"), res::IDCANCEL}});
  const int rows = RunJs(view(), "document.querySelectorAll('table.D tr').length").toInt();
  ASSERT_EQ(rows, 3);  // header, step 3, final row
  DoubleClick(0, 1);
  DoubleClick(rows - 1, 2);
  DoubleClick(1, 0);  // the one that counts: the events arrive in order
  ASSERT_TRUE(WaitUntil([&] { return !seen_.empty(); }));
  // Any dialog for the other two would have come first.
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].caption, QStringLiteral("改正第 3 步"));
  EXPECT_EQ(seen_[0].op, 1);                               // －
  EXPECT_EQ(seen_[0].entry, QStringLiteral("1234567.5"));  // as it would be typed
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0.05", "0.15", "-1,234,567.35"}));
  EXPECT_TRUE(store_->Corrections().empty());
  EXPECT_EQ(view().documentsShown(), shown);
}

TEST_F(CorrectionUiTest, OperatorChangeOfTheLastStep) {
  RecordThreeSteps();
  ShowAll();
  const int replaced = view().replacementsShown();
  AnswerWith({{0, QStringLiteral("1234567.5"), res::IDOK}});
  dialog_->CorrectRow(3);
  // The final total loses its sign: the last column narrows, in place.
  ASSERT_TRUE(WaitUntil([&] { return view().replacementsShown() > replaced; }));
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0.05", "0.15", "1,234,567.65"}));
  const std::vector<store::CorrectionEntry> trail = store_->Corrections();
  ASSERT_EQ(trail.size(), 1u);
  EXPECT_EQ(trail[0].oldOp, '-');
  EXPECT_EQ(trail[0].newOp, '+');
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("1,234,567.65"));
}

TEST_F(CorrectionUiTest, RefusedEntryShowsTheEngineMessageAndKeepsTheDialog) {
  RecordThreeSteps();
  ShowAll();
  const int shown = view().documentsShown();
  // An emptied field is refused without a word, as Enter on an empty entry
  // field is: no box, the dialog again.
  AnswerWith({{-1, QStringLiteral("1.2.3"), res::IDOK},
              {-1, QString(), res::IDOK},
              {-1, QStringLiteral("5-"), res::IDOK}});
  dialog_->CorrectRow(2);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0], QStringLiteral("小数点太多，请检查！"));
  EXPECT_EQ(boxes_[1], QStringLiteral("负号位置不正确，请检查！"));
  // Opened again with what was typed, until left.
  ASSERT_EQ(seen_.size(), 4u);
  EXPECT_EQ(seen_[1].entry, QStringLiteral("1.2.3"));
  EXPECT_EQ(seen_[2].entry, QString());
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0.05", "0.15", "-1,234,567.35"}));
  EXPECT_TRUE(store_->Corrections().empty());
  EXPECT_EQ(view().documentsShown(), shown);
  int scale = 0;
  std::string total;
  EXPECT_FALSE(store_->TakeCorrectedTotal(&scale, &total));
}

TEST_F(CorrectionUiTest, StepWhoseTotalDoesNotFollowIsRefusedWithOurText) {
  store_->RecordStep(Row('+', "1", "1", "1.00"), 2);
  store_->RecordStep(Row('+', "1", "1", "5.00"), 2);
  ASSERT_EQ(store_->SaveLastTotal(2, "5.00"), store::Notice::kNone);
  ShowAll();
  AnswerWith({{-1, QStringLiteral("2"), res::IDOK}});
  dialog_->CorrectRow(2);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], search::kCorrectNoBase.arg(2));
  EXPECT_EQ(seen_.size(), 1u);  // not opened again
  EXPECT_EQ(Totals(), (std::vector<std::string>{"1.00", "5.00"}));
}

// The dialog itself, shown for real: its list, keys and buttons.
TEST_F(CorrectionUiTest, DialogTakesNumberKeysEnterConfirmsEscLeaves) {
  {
    CCorrectDlg d(12, '*', QStringLiteral("1,000.5"));
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("改正第 12 步"));
    QStringList ops;
    for (int i = 0; i < d.operatorList()->count(); ++i) ops << d.operatorList()->itemText(i);
    EXPECT_EQ(ops, (QStringList{QStringLiteral("＋"), QStringLiteral("－"), QStringLiteral("×")}));
    EXPECT_EQ(d.op(), '*');
    EXPECT_EQ(d.entry(), QStringLiteral("1000.5"));
    d.entryField()->clear();
    // As in the entry field: the top-row minus never types; a point does,
    // once, and the keypad's minus turns the sign.
    QTest::keyClicks(d.entryField(), QStringLiteral("-12a,5.x"));
    QTest::keyClick(d.entryField(), Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClicks(d.entryField(), QStringLiteral("25"));
    QTest::keyClick(d.entryField(), Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(d.entryField(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(d.entry(), QStringLiteral("-125.25"));
    d.operatorList()->setCurrentIndex(1);
    EXPECT_EQ(d.op(), '-');
    QTest::keyClick(d.entryField(), Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), res::IDOK);
  }
  {
    CCorrectDlg d(1, '+', QStringLiteral("3"));
    d.show();
    QTest::keyClick(d.entryField(), Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), res::IDCANCEL);
  }
  {
    CCorrectDlg d(1, '+', QStringLiteral("3"));
    d.show();
    ClickButton(d, res::IDCANCEL);
    EXPECT_EQ(d.result(), res::IDCANCEL);
    CCorrectDlg e(1, '+', QStringLiteral("3"));
    e.show();
    ClickButton(e, res::IDOK);
    EXPECT_EQ(e.result(), res::IDOK);
  }
}

// A report whose corrected rows were put into the page must be the report
// shown afresh in every way the user can reach it.
class PatchedReportTest : public CorrectionUiTest {
 protected:
  // Two runs: steps 1-150 add 1 each; step 151 starts again at 5 (its total
  // does not follow 150), and steps 152-300 add 1 each, up to 154.
  void RecordTwoRuns() {
    for (int i = 1; i <= 300; ++i) {
      const std::string entry = i == 151 ? "5" : "1";
      const std::string total = std::to_string(i <= 150 ? i : i - 146);
      store_->RecordStep(Row('+', entry.c_str(), entry.c_str(), total.c_str()), 0);
    }
    ASSERT_EQ(store_->SaveLastTotal(0, "154"), store::Notice::kNone);
  }

  struct Seen {
    std::string document;
    QString copied;               // 全选, then 复制
    QString top, middle, bottom;  // the rows laid out, at three places
    QString title;                // on the corrected row's entry
    bool operator==(const Seen&) const = default;
    friend void PrintTo(const Seen& s, std::ostream* os) {
      *os << "title " << s.title.toStdString() << ", rows in sight at the top:\n"
          << s.top.toStdString() << "\nin the middle:\n"
          << s.middle.toStdString() << "\nat the end:\n"
          << s.bottom.toStdString() << "\ncopied " << s.copied.size() << " characters, document "
          << s.document.size() << " bytes";
    }
  };
  Seen Look(long long correctedId) {
    Seen s;
    s.document = Document();
    QGuiApplication::clipboard()->clear();
    RunJs(view(), QStringLiteral("ip.onclick(); ip1.onclick(); 0"));
    EXPECT_TRUE(WaitUntil([] { return !QGuiApplication::clipboard()->text().isEmpty(); }));
    s.copied = QGuiApplication::clipboard()->text();
    const QString rows = QStringLiteral(R"(
        Array.prototype.map.call(document.querySelectorAll('table.D tr'), function (r) {
          var b = r.getBoundingClientRect();
          return [b.top + scrollY, getComputedStyle(r).backgroundColor].concat(
              Array.prototype.map.call(r.cells, function (c) {
                return [c.textContent, getComputedStyle(c).color,
                        c.getBoundingClientRect().width].join('/');
              })).join(' ');
        }).join('\n'))");
    auto scrolled = [&](const QString& y) {
      return RunJs(view(), QStringLiteral("window.scrollTo(0, %1);"
                                          "window.dispatchEvent(new Event('scroll'));")
                                   .arg(y) +
                               rows)
          .toString();
    };
    s.top = scrolled(QStringLiteral("0"));
    s.middle = scrolled(QStringLiteral("1800"));
    s.bottom = scrolled(QStringLiteral("document.scrollingElement.scrollHeight"));
    // Scrolled to where the row stands among the report's 302 rows.
    s.title = RunJs(view(), QStringLiteral(R"(
        window.scrollTo(0, document.scrollingElement.scrollHeight * %1 / 302);
        window.dispatchEvent(new Event('scroll'));
        var r = Array.prototype.find.call(document.querySelectorAll('table.D tr'),
            function (r) { return r.cells[0].textContent.indexOf('%1 ') === 0; });
        if (r) r.cells[1].dispatchEvent(new MouseEvent('mouseover', {bubbles: true}));
        r ? r.cells[1].title : 'not in sight')")
                                .arg(correctedId))
                  .toString();
    return s;
  }
  // The same report read again from the history.
  Seen Rebuilt(long long correctedId) {
    dialog_->OnFilterChange();
    ClickButton(*dialog_, res::kUnsortedButton);
    EXPECT_TRUE(WaitForReport(view()));
    return Look(correctedId);
  }
};

TEST_F(PatchedReportTest, RowsOfAnEarlierRunPutInPlaceAsARebuildShowsThem) {
  RecordTwoRuns();
  ShowAll(QStringLiteral("全"), QStringLiteral("154"));
  // Step 75 adds 2: steps 75-150 grow by one, among them the first total of
  // three digits the widths were measured on; the final total stays.
  ASSERT_FALSE(CorrectAndWait(75, QStringLiteral("2")));
  const Seen patched = Look(75);
  EXPECT_NE(patched.middle.indexOf(QStringLiteral(" 75 +/")), -1) << patched.middle.toStdString();
  EXPECT_NE(patched.copied.indexOf(QStringLiteral("150 +\t1\t151\n")), -1);
  EXPECT_EQ(patched.title, QStringLiteral("改正前：1"));
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("154"));
  EXPECT_EQ(patched, Rebuilt(75));
}

TEST_F(PatchedReportTest, NewFinalTotalPutInPlaceAsARebuildShowsIt) {
  RecordTwoRuns();
  ShowAll(QStringLiteral("全"), QStringLiteral("154"));
  ASSERT_FALSE(CorrectAndWait(290, QStringLiteral("3")));
  const Seen patched = Look(290);
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("156"));
  EXPECT_NE(patched.bottom.indexOf(QStringLiteral(" 156/")), -1) << patched.bottom.toStdString();
  EXPECT_NE(patched.document.find("156</td></tr></table>"), std::string::npos);
  EXPECT_EQ(patched, Rebuilt(290));
  // A second correction of the same step: the title has the entry just
  // replaced, as a rebuild's has.
  ASSERT_FALSE(CorrectAndWait(290, QStringLiteral("4")));
  const Seen again = Look(290);
  EXPECT_EQ(again.title, QStringLiteral("改正前：3"));
  EXPECT_EQ(again, Rebuilt(290));
}

TEST_F(PatchedReportTest, WiderAndNarrowerColumnsPutInPlaceAsARebuildShowsThem) {
  RecordTwoRuns();
  ShowAll(QStringLiteral("全"), QStringLiteral("154"));
  // An entry and totals wider than the headers, and a final total of that
  // shape: the entry and total columns widen.
  ASSERT_FALSE(CorrectAndWait(300, QStringLiteral("1000000000000")));
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("1,000,000,000,153"));
  const Seen wider = Look(300);
  EXPECT_NE(wider.bottom.indexOf(QStringLiteral(" 1,000,000,000,153/")), -1)
      << wider.bottom.toStdString();
  EXPECT_EQ(wider, Rebuilt(300));
  // Back to 1: the only wide cells go, and the columns narrow again.
  ASSERT_FALSE(CorrectAndWait(300, QStringLiteral("1")));
  const Seen narrower = Look(300);
  EXPECT_EQ(dialog_->finalResultText(), QStringLiteral("154"));
  EXPECT_EQ(narrower, Rebuilt(300));
  // A point and a sign no entry had, far from the end.
  ASSERT_FALSE(CorrectAndWait(20, QStringLiteral("-0.5")));
  const Seen signed_ = Look(20);
  EXPECT_EQ(signed_, Rebuilt(20));
}

TEST_F(PatchedReportTest, AnotherViewIsShownAgain) {
  RecordTwoRuns();
  // Under a filter a correction may take rows in or out: always read again.
  ShowAll(QStringLiteral("+"), QStringLiteral("154"));
  EXPECT_TRUE(CorrectAndWait(299, QStringLiteral("2")));
}

}  // namespace
}  // namespace zantor::searchui
