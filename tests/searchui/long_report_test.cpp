// Reports of many rows: the page keeps the rows as data and lays out only
// those in sight. Compared here with the whole document laid out as one
// table by the same engine without any help (the page as it used to be
// shown): the same text for 全选 and 复制, the same look row by row, the
// same menu, and scrolling by keys and wheel that always finds rows there.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QTest>
#include <QWebEngineProfile>
#include <QWheelEvent>

#include "search/report.h"
#include "search/report_document.h"
#include "searchui_support.h"

namespace zantor::searchui {
namespace {

using search::ReportView;

// Rows 1..n: "r +", 1,000.25, "r,000.25"; `wideAt` gets a far wider total.
store::Table Numbered(int rows, int wideAt = 0) {
  store::Table t;
  t.columns = 4;
  t.rows = rows;
  t.cells = {"ID", "oP", "mdata", "re"};
  for (int r = 1; r <= rows; ++r) {
    t.cells.push_back(std::to_string(r));
    t.cells.emplace_back(r % 3 == 0 ? "-" : "+");
    t.cells.emplace_back(r == 1 ? "1,000.25" : "1,000.5");
    t.cells.push_back(r == wideAt ? "-12,345,678,901.25" : std::to_string(r) + ",000.25");
  }
  return t;
}

search::ReportDocument Streamed(const store::Table& t, const std::string& total) {
  search::ReportDocument doc(total);
  for (int r = 1; r <= t.rows; ++r) {
    const std::string* c = &t.cells[static_cast<size_t>(r) * 4];
    doc.AddRow(c[0], c[1], c[2], c[3]);
  }
  return doc;
}

QVariant Js(QWebEnginePage& page, const QString& code) {
  bool done = false;
  QVariant result;
  page.runJavaScript(code, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return done; })) << code.toStdString();
  return result;
}

// Until the page has drawn a frame after everything asked of it so far.
void WaitForFrame(QWebEnginePage& page) {
  Js(page, QStringLiteral("window.framed = 0; requestAnimationFrame(function () {"
                          " setTimeout(function () { window.framed = 1; }); }); 0"));
  EXPECT_TRUE(WaitUntil([&] { return Js(page, QStringLiteral("window.framed")).toInt() == 1; }));
}

// The document as the engine lays it out with nothing injected: one table.
class PlainPage {
 public:
  explicit PlainPage(const QByteArray& gbk) : profile_(new QWebEngineProfile(&view_)) {
    view_.setPage(new QWebEnginePage(profile_, &view_));
    view_.resize(428, 356);  // the search dialog's browser
    view_.show();
    bool loaded = false;
    QObject::connect(&view_, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view_.page()->setContent(gbk, QStringLiteral("text/html;charset=GBK"));
    EXPECT_TRUE(WaitUntil([&] { return loaded; }, 60000));
  }
  ~PlainPage() {
    QWebEnginePage* p = view_.page();
    view_.setPage(nullptr);
    delete p;
  }
  QWebEnginePage& page() { return *view_.page(); }

 private:
  QWebEngineView view_;
  QWebEngineProfile* profile_;
};

class LongReport : public ::testing::Test {
 protected:
  void Show(const store::Table& table, const std::string& total, int width = 428) {
    view_.resize(width, 356);
    view_.show();
    view_.ShowReport(Streamed(table, total));
    ASSERT_TRUE(WaitForReport(view_, 60000));
    WaitForFrame(*view_.page());
  }
  QVariant Js(const QString& code) { return searchui::Js(*view_.page(), code); }
  QString Str(const QString& code) { return Js(code).toString(); }
  void ScrollTo(const QString& y) {
    Js(QStringLiteral("window.scrollTo(0, %1); 0").arg(y));
    WaitForFrame(*view_.page());
  }

  ReportView view_;
};

// The text of the whole page, selected as the page's 全选 selects it.
const char kSelectAll[] = "document.execCommand('SelectAll'); getSelection().toString()";

TEST_F(LongReport, SelectAllThenCopyGivesTheWholeTablesText) {
  // No rows, one, two, a thousand; and rows the page keeps as a document
  // (texts that are not numbers).
  store::Table mixed = Numbered(3);
  mixed.cells[2 * 4 + 2] = "粘贴";
  const std::vector<std::pair<store::Table, std::string>> reports = {
      {Numbered(0), "0.00"},
      {Numbered(1), "1,000.25"},
      {Numbered(2), "2,000.25"},
      {Numbered(1000), "1,000,000.25"},
      {mixed, "3"}};
  for (const auto& [table, total] : reports) {
    const std::string gbk = search::BuildReportGbk(table, total);
    Show(table, total);
    // The text handed to the view is the document, byte for byte.
    EXPECT_EQ(view_.document(), QByteArray::fromStdString(gbk));
    QString expected;
    {
      PlainPage plain(QByteArray::fromStdString(gbk));
      expected = searchui::Js(plain.page(), QString::fromLatin1(kSelectAll)).toString();
    }
    ASSERT_TRUE(expected.contains(QStringLiteral("最终结果:"))) << expected.toStdString();
    // Scrolled away from the rows' start, the text is still all of them.
    ScrollTo(QStringLiteral("document.scrollingElement.scrollHeight / 2"));
    QGuiApplication::clipboard()->clear();
    // 全选 remembers the text; 复制 copies the selection it left.
    EXPECT_TRUE(Str(QStringLiteral("ip.onclick(); t")) == expected) << table.rows;
    Js(QStringLiteral("ip1.onclick(); 0"));
    EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::clipboard()->text() == expected; }))
        << table.rows << ": " << QGuiApplication::clipboard()->text().left(200).toStdString();
    // 复制 with nothing selected puts the remembered text on the clipboard.
    QGuiApplication::clipboard()->clear();
    Js(QStringLiteral("getSelection().removeAllRanges(); ip1.onclick(); 0"));
    EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::clipboard()->text() == expected; }))
        << table.rows;
  }
  // The thousand rows were never all in the page.
  Show(Numbered(1000), "1");
  EXPECT_LT(Js(QStringLiteral("document.getElementsByTagName('tr').length")).toInt(), 300);
}

// Row k of the page (0 the header) as it is laid out: its place and size
// against the table's top left corner, each cell's, and their colours. The
// engine cannot read the document's stripe expression, so for the one table
// `stripe` names the colour the expression gives the row.
QString Geometry(QWebEnginePage& page, const QString& table, const QString& row,
                 const QString& stripe = QStringLiteral("st.backgroundColor")) {
  return searchui::Js(page, QStringLiteral(R"(
      (function () {
        var t = (%1).getBoundingClientRect(), row = %2;
        if (!row) return 'missing';
        var r = row.getBoundingClientRect(), st = getComputedStyle(row);
        return [r.top - t.top, r.height, %3].concat(
            Array.prototype.map.call(row.cells, function (c) {
              var b = c.getBoundingClientRect(), s = getComputedStyle(c);
              return [b.left - t.left, b.width, b.height, s.color, s.textAlign, s.borderBottom,
                      c.textContent].join('/');
            })).join(' ');
      })())")
                                .arg(table, row, stripe))
      .toString();
}

TEST_F(LongReport, RowsLookAndStandWhereTheWholeTableHasThem) {
  constexpr int kRows = 10000;
  // One total far wider than the rest, deep in the report: the columns are
  // as wide as it needs from the first screen on.
  const store::Table table = Numbered(kRows, 7777);
  const std::string gbk = search::BuildReportGbk(table, "10,000.25");
  Show(table, "10,000.25");
  PlainPage plain(QByteArray::fromStdString(gbk));
  const QString plainTable = QStringLiteral("document.querySelector('table.D')");
  const QString holder = QStringLiteral("document.querySelector('.zantor-rows')");
  // The page is as tall as the whole table.
  EXPECT_EQ(
      Js(QStringLiteral("document.scrollingElement.scrollHeight")).toInt(),
      searchui::Js(plain.page(), QStringLiteral("document.scrollingElement.scrollHeight")).toInt());
  for (int k : {0, 1, 2, 199, 200, 5000, 5001, 7777, kRows, kRows + 1}) {
    // Bring the row into sight in both pages: the same place in each.
    const int top =
        searchui::Js(plain.page(), QStringLiteral("%1.rows[%2].getBoundingClientRect().top -"
                                                  " %1.getBoundingClientRect().top")
                                       .arg(plainTable)
                                       .arg(k))
            .toInt();
    ScrollTo(QStringLiteral("%1.offsetTop + %2 - 100").arg(holder).arg(top));
    // The row in the page is found by its first cell's text.
    const QString first =
        searchui::Js(plain.page(),
                     QStringLiteral("%1.rows[%2].cells[0].textContent").arg(plainTable).arg(k))
            .toString();
    const QString findRow =
        k == kRows + 1 ? QStringLiteral("document.querySelector('td[style*=red]').parentNode")
                       : QStringLiteral(
                             "Array.prototype.find.call(document.getElementsByTagName('tr'),"
                             " function (r) { return r.cells[0].textContent === '%1'; })")
                             .arg(first);
    EXPECT_EQ(
        Geometry(*view_.page(), holder, findRow),
        Geometry(plain.page(), plainTable, QStringLiteral("%1.rows[%2]").arg(plainTable).arg(k),
                 QStringLiteral("row.rowIndex % 2 ? 'rgb(238, 238, 238)' : 'rgb(255, 255, 255)'")))
        << "row " << k;
  }
  // Mended: the table stands in the middle, as the page's style asks.
  EXPECT_EQ(Js(QStringLiteral("(function () { var r = %1.getBoundingClientRect();"
                              " return Math.abs(r.left -"
                              " (document.documentElement.clientWidth - r.right)) <= 1; })()")
                   .arg(holder))
                .toBool(),
            true);
}

// A total of 150 digits, in a row and as the final total: every cell keeps
// to one line on its row, inside its column; the page scrolls sideways only
// when the window is narrower than the table.
TEST_F(LongReport, AVeryLongTotalKeepsEveryCellOnItsRow) {
  std::string huge = "9";
  for (int d = 1; d < 150; ++d) huge += (d % 3 == 0 ? ",9" : "9");
  store::Table table = Numbered(300);
  table.cells[150 * 4 + 3] = huge;
  const QString cellsOk = QStringLiteral(R"(
      (function () {
        var bad = [];
        Array.prototype.forEach.call(document.getElementsByTagName('tr'), function (r) {
          var top = null, right = -1e9;
          Array.prototype.forEach.call(r.cells, function (c) {
            var b = c.getBoundingClientRect(), range = document.createRange();
            range.selectNodeContents(c);
            var lines = range.getClientRects().length, t = range.getBoundingClientRect();
            if (top === null) top = b.top;
            if (b.top !== top || b.left < right - 1 || lines > 1 ||
                (lines && (t.right > b.right + 1 || t.left < b.left - 1)))
              bad.push(r.rowIndex + ':' + c.textContent.slice(0, 12) + '/' + lines);
            right = b.right;
          });
        });
        return bad.join(' ');
      })())");
  const QString sideways = QStringLiteral(
      "document.scrollingElement.scrollWidth > document.scrollingElement.clientWidth");
  for (int width : {3000, 428}) {
    SCOPED_TRACE(width);
    Show(table, huge, width);
    EXPECT_EQ(Str(cellsOk), QString());
    ScrollTo(QStringLiteral("document.scrollingElement.scrollHeight / 2"));
    EXPECT_EQ(Str(cellsOk), QString());
    ScrollTo(QStringLiteral("document.scrollingElement.scrollHeight"));
    EXPECT_EQ(Str(cellsOk), QString());
    EXPECT_EQ(Js(sideways).toBool(), width < 1000);
  }
}

TEST_F(LongReport, ATableKeptAsADocumentIsCentredToo) {
  store::Table table = Numbered(2);
  table.cells[4 + 2] = "粘贴";
  Show(table, "2");
  EXPECT_EQ(Js(QStringLiteral("document.getElementsByTagName('tr').length")).toInt(), 4);
  EXPECT_EQ(Js(QStringLiteral("(function () { var r = document.querySelector('table.D')"
                              ".getBoundingClientRect(); return r.left > 20 && Math.abs(r.left -"
                              " (document.documentElement.clientWidth - r.right)) <= 1; })()"))
                .toBool(),
            true);
}

TEST_F(LongReport, TheMenuOpensWhereClickedOverTheScrolledPage) {
  Show(Numbered(1000), "1");
  ScrollTo(QStringLiteral("5000"));
  const int scrolled = Js(QStringLiteral("document.body.scrollTop")).toInt();
  ASSERT_GT(scrolled, 4000);
  const char* kMenu =
      "Array.from(document.getElementsByTagName('span')[0].childNodes)"
      ".map(function(n){return n.value||n.nodeName;}).join(',')";
  EXPECT_EQ(Js(QStringLiteral("document.body.dispatchEvent(new MouseEvent('contextmenu',"
                              "{bubbles:true,cancelable:true,clientX:400,clientY:300}))"))
                .toBool(),
            false);
  EXPECT_EQ(Str(QString::fromLatin1(kMenu)), QStringLiteral("复制,BR,全选"));
  EXPECT_EQ(Str(QStringLiteral("document.getElementsByTagName('span')[0].style.left")),
            QStringLiteral("361px"));
  EXPECT_EQ(Str(QStringLiteral("document.getElementsByTagName('span')[0].style.top")),
            QStringLiteral("%1px").arg(256 + scrolled));
  // Near the top left corner it opens at the pointer.
  Js(
      QStringLiteral("document.body.dispatchEvent(new MouseEvent('click',{bubbles:true}));"
                     "document.body.dispatchEvent(new MouseEvent('contextmenu',"
                     "{bubbles:true,cancelable:true,clientX:100,clientY:50})); 0"));
  EXPECT_EQ(Str(QStringLiteral("document.getElementsByTagName('span')[0].style.left")),
            QStringLiteral("100px"));
  EXPECT_EQ(Str(QStringLiteral("document.getElementsByTagName('span')[0].style.top")),
            QStringLiteral("%1px").arg(50 + scrolled));
  // Hovering colours a button; leaving it gives the colours back.
  const QString colours = QStringLiteral(
      "(function (b) { b.dispatchEvent(new MouseEvent('%1')); var s = getComputedStyle(b);"
      " return s.backgroundColor + ' ' + s.color; })(%2)");
  for (const char* button : {"ip", "ip1"}) {
    EXPECT_EQ(Str(colours.arg(QStringLiteral("mouseover"), QString::fromLatin1(button))),
              QStringLiteral("rgb(181, 190, 214) rgb(255, 255, 255)"))
        << button;
    EXPECT_EQ(Str(colours.arg(QStringLiteral("mouseout"), QString::fromLatin1(button))),
              QStringLiteral("rgb(255, 255, 255) rgb(0, 0, 0)"))
        << button;
  }
  Js(QStringLiteral("document.body.dispatchEvent(new MouseEvent('click',{bubbles:true})); 0"));
  EXPECT_EQ(Str(QString::fromLatin1(kMenu)), QString());
}

// Keys and the wheel scroll the page as the engine scrolls any page; after
// each, the rows in sight are there, and are the right ones.
TEST_F(LongReport, KeysAndWheelScrollToRowsThatAreThere) {
  constexpr int kRows = 1000;
  Show(Numbered(kRows), "1,000.25");
  QWidget* target = view_.focusProxy();
  ASSERT_NE(target, nullptr);
  view_.setFocus();
  const auto scrollY = [&] { return Js(QStringLiteral("scrollY")).toInt(); };
  // The row under the middle of the window: its text, and whether it is
  // striped as the row with its number in the whole table would be.
  const auto middleRowOk = [&] {
    const QString row = Str(QStringLiteral(
        "(function () { var h = document.querySelector('.zantor-rows').getBoundingClientRect();"
        " var e = document.elementFromPoint(h.left + h.width / 2, innerHeight / 2);"
        " var r = e && e.closest('tr'); if (!r) return 'no row at ' + (e && e.tagName);"
        " return r.textContent + '|' + getComputedStyle(r).backgroundColor; })()"));
    const qsizetype space = row.indexOf(QLatin1Char(' '));
    const int id = row.left(space).toInt();
    if (id < 1 || id > kRows) return row;
    const std::string* c = nullptr;
    static const store::Table table = Numbered(kRows);
    c = &table.cells[static_cast<size_t>(id) * 4];
    const QString want = QString::fromStdString(c[0] + " " + c[1] + c[2] + c[3]) +
                         (id % 2 == 1 ? QStringLiteral("|rgb(238, 238, 238)")
                                      : QStringLiteral("|rgb(255, 255, 255)"));
    return row == want ? QString() : row + " instead of " + want;
  };
  const auto press = [&](Qt::Key key) {
    const int before = scrollY();
    QTest::keyClick(target, key);
    EXPECT_TRUE(WaitUntil([&] { return scrollY() != before; })) << key;
    WaitForFrame(*view_.page());
  };

  press(Qt::Key_End);
  EXPECT_EQ(scrollY(),
            Js(QStringLiteral("document.scrollingElement.scrollHeight - innerHeight")).toInt());
  // The final total stands at the bottom of the window.
  EXPECT_EQ(
      Str(QStringLiteral(
          "(function () { var c = document.querySelector('td[style*=red]:last-child');"
          " var b = c.getBoundingClientRect();"
          " var e = document.elementFromPoint(b.left + 5, b.top + b.height / 2);"
          " return e === c ? c.textContent + ' ' + (innerHeight - b.bottom < 40) : ''; })()")),
      QStringLiteral("1,000.25 true"));
  EXPECT_EQ(middleRowOk(), QString());
  press(Qt::Key_PageUp);
  EXPECT_EQ(middleRowOk(), QString());
  press(Qt::Key_Home);
  EXPECT_EQ(scrollY(), 0);
  EXPECT_EQ(Str(QStringLiteral("document.elementFromPoint(document.querySelector('.zantor-rows')"
                               ".getBoundingClientRect().left + 10, 10).textContent")),
            QStringLiteral("序号"));
  press(Qt::Key_Down);
  const int line = scrollY();
  EXPECT_GT(line, 0);
  press(Qt::Key_PageDown);
  EXPECT_GT(scrollY(), line + 200);
  EXPECT_EQ(middleRowOk(), QString());
  for (int i = 0; i < 3; ++i) press(Qt::Key_PageDown);
  EXPECT_EQ(middleRowOk(), QString());
  press(Qt::Key_Up);
  EXPECT_EQ(middleRowOk(), QString());

  // The wheel, ten notches down.
  const int before = scrollY();
  const QPointF at(200, 150);
  for (int i = 0; i < 10; ++i) {
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &wheel);
  }
  EXPECT_TRUE(WaitUntil([&] { return scrollY() > before + 500; })) << scrollY();
  WaitForFrame(*view_.page());
  EXPECT_EQ(middleRowOk(), QString());
}

TEST_F(LongReport, ADocumentBeyondTwoMegabytesShowsToItsEnd) {
  constexpr int kRows = 60000;
  const std::string gbk = search::BuildReportGbk(Numbered(kRows), "60,000.25");
  ASSERT_GT(gbk.size(), 2u * 1024 * 1024);
  view_.resize(400, 300);
  view_.show();
  view_.ShowDocument(QByteArray::fromStdString(gbk));
  ASSERT_TRUE(WaitForReport(view_, 60000));
  EXPECT_EQ(view_.document(), QByteArray::fromStdString(gbk));
  EXPECT_GT(Js(QStringLiteral("document.body.offsetHeight")).toInt(), kRows * 10);
  ScrollTo(QStringLiteral("document.scrollingElement.scrollHeight"));
  const QString rows = QStringLiteral("document.getElementsByTagName('tr')");
  EXPECT_EQ(Str(rows + QStringLiteral("[%1.length - 2].textContent").arg(rows)),
            QStringLiteral("60000 -1,000.560000,000.25"));
  EXPECT_EQ(Str(rows + QStringLiteral("[%1.length - 1].textContent").arg(rows)),
            QStringLiteral("最终结果:60,000.25"));
}

// The dialog shows the wait cursor from the click until the report is shown.
class BusyDialog : public SearchUiTest {};

TEST_F(BusyDialog, TheWaitCursorLastsUntilTheReportIsShown) {
  RecordThreeSteps();
  search::CFindDlg dialog(*store_, QStringLiteral("1"));
  dialog.show();
  dialog.filterList()->setCurrentIndex(dialog.filterList()->findText(QStringLiteral("全")));
  dialog.OnFilterChange();
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  dialog.OnSortNone();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ASSERT_TRUE(WaitForReport(*dialog.reportView()));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  // An export has it while it writes, and not after.
  ASSERT_TRUE(dialog.ExportTo(path("h.csv")));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace zantor::searchui
