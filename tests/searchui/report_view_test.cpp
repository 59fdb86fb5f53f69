// The report in the real browser: the GBK page as it renders, the script's
// context menu working on this engine, and nothing outside the report
// reachable from the page. Long reports: long_report_test.cpp.
#include <QClipboard>
#include <QComboBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>

#include "search/report.h"
#include "searchui_support.h"
#include "tests/support/two_steps.h"

namespace zantor::searchui {
namespace {

using search::ReportView;

store::Table SyntheticTable(int rows) {
  store::Table t;
  t.columns = 4;
  t.rows = rows;
  t.cells = {"ID", "oP", "mdata", "re"};
  t.cells.reserve(static_cast<size_t>(rows + 1) * 4);
  for (int r = 1; r <= rows; ++r) {
    t.cells.push_back(std::to_string(r));
    t.cells.emplace_back("+");
    t.cells.emplace_back("1,000.25");
    t.cells.push_back(std::to_string(r) + ",000.25");
  }
  return t;
}

QString Str(search::ReportView& view, const char* code) {
  return RunJs(view, QString::fromUtf8(code)).toString();
}

// Two steps shown through the dialog's own sort button, then read back from
// the page the browser built.
class ReportViewTest : public SearchUiTest {
 protected:
  void ShowTwoRows() {
    testsupport::RecordTwoSteps(*store_);
    dialog_ = std::make_unique<search::CFindDlg>(*store_, QStringLiteral("0.15"));
    dialog_->show();
    dialog_->filterList()->setCurrentIndex(dialog_->filterList()->findText(QStringLiteral("全")));
    dialog_->OnFilterChange();
    ClickButton(*dialog_, res::kUnsortedButton);
    ASSERT_EQ(dialog_->reportView()->documentsShown(), 1);
    ASSERT_TRUE(WaitForReport(*dialog_->reportView()));
  }
  ReportView& view() { return *dialog_->reportView(); }

  std::unique_ptr<search::CFindDlg> dialog_;
};

TEST_F(ReportViewTest, TwoRowsRenderAsAStripedGbkTable) {
  ShowTwoRows();
  // Header, two steps, the final total.
  EXPECT_EQ(RunJs(view(), "document.getElementsByTagName('tr').length").toInt(), 4);
  // Held back while it was read, the page is shown once it is complete.
  EXPECT_EQ(Str(view(), "getComputedStyle(document.body).display"), QStringLiteral("block"));
  EXPECT_GT(RunJs(view(), "document.body.offsetHeight").toInt(), 40);
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('td')[2].textContent"),
            QStringLiteral("每步操作结果"));
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('tr')[1].textContent"),
            QStringLiteral("1 +0.050.05"));
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('tr')[3].textContent"),
            QStringLiteral("最终结果:0.15"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('tr')[0]).backgroundColor"),
            QStringLiteral("rgb(255, 255, 255)"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('tr')[1]).backgroundColor"),
            QStringLiteral("rgb(238, 238, 238)"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('tr')[2]).backgroundColor"),
            QStringLiteral("rgb(255, 255, 255)"));
  // The first step's total equals its entry: blue; the final total red.
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('td')[5]).color"),
            QStringLiteral("rgb(0, 0, 255)"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('td')[8]).color"),
            QStringLiteral("rgb(0, 0, 0)"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('td')[11]).color"),
            QStringLiteral("rgb(255, 0, 0)"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('td')[0]).borderTopColor"),
            QStringLiteral("rgb(169, 179, 205)"));
}

TEST_F(ReportViewTest, ThePageFindsTheObjectsItsScriptUses) {
  ShowTwoRows();
  EXPECT_EQ(Str(view(), "typeof document.selection.createRange"), QStringLiteral("function"));
  EXPECT_EQ(Str(view(), "typeof window.clipboardData.setData"), QStringLiteral("function"));
  EXPECT_EQ(Str(view(), "typeof document.body.removeNode"), QStringLiteral("function"));
  EXPECT_EQ(Str(view(), "typeof CollectGarbage"), QStringLiteral("function"));
  // "全选" selects the page and remembers its text through document.selection.
  EXPECT_TRUE(Str(view(), "ip.onclick(); t").contains(QStringLiteral("每步操作结果")));
}

TEST_F(ReportViewTest, RightClickOpensTheTwoButtonMenuAndAClickClosesIt) {
  ShowTwoRows();
  const char* kMenu =
      "Array.from(document.getElementsByTagName('span')[0].childNodes)"
      ".map(function(n){return n.value||n.nodeName;}).join(',')";
  EXPECT_EQ(Str(view(), kMenu), QString());
  // The page's handler returns false: the browser's own menu stays shut.
  EXPECT_EQ(RunJs(view(),
                  "document.body.dispatchEvent(new MouseEvent('contextmenu',"
                  "{bubbles:true,cancelable:true,clientX:400,clientY:300}))")
                .toBool(),
            false);
  EXPECT_EQ(Str(view(), kMenu), QStringLiteral("复制,BR,全选"));
  // Beyond 321 and 246 the menu moves 39 left and 44 up.
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('span')[0].style.left"),
            QStringLiteral("361px"));
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('span')[0].style.top"),
            QStringLiteral("256px"));
  EXPECT_EQ(Str(view(), "getComputedStyle(document.getElementsByTagName('span')[0]).position"),
            QStringLiteral("absolute"));
  RunJs(view(), "document.body.dispatchEvent(new MouseEvent('click',{bubbles:true})); 0");
  EXPECT_EQ(Str(view(), kMenu), QString());
}

// Right clicks and clicks on the view itself, as the mouse makes them: the
// engine opens no menu of its own, the page's 复制 and 全选 appear, and 全选
// then 复制 put the whole report on the clipboard.
TEST_F(ReportViewTest, RealRightClickSelectsAllAndCopiesTheReport) {
  ShowTwoRows();
  QWidget* surface = view().focusProxy();
  ASSERT_NE(surface, nullptr);
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  const char* kMenu =
      "Array.from(document.getElementsByTagName('span')[0].childNodes)"
      ".map(function(n){return n.value||n.nodeName;}).join(',')";
  auto openMenu = [&](QPoint at) {
    QTest::mouseClick(surface, Qt::RightButton, {}, at);
    EXPECT_TRUE(WaitUntil([&] { return !Str(view(), kMenu).isEmpty(); }, 10000))
        << "the page's menu did not open";
    if (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
      ADD_FAILURE() << "the engine opened its own menu";
    }
    EXPECT_EQ(Str(view(), kMenu), QStringLiteral("复制,BR,全选"));
  };
  // The middle of the page menu's button `index` (0: 复制, 1: 全选), in the view.
  auto button = [&](int index) {
    const QVariantList r =
        RunJs(view(), QStringLiteral("(function () { var b = document.getElementsByTagName('span')"
                                     "[0].getElementsByTagName('input')[%1]"
                                     ".getBoundingClientRect();"
                                     " return [b.left + b.width / 2, b.top + b.height / 2]; })()")
                          .arg(index))
            .toList();
    return r.size() == 2 ? QPoint(qRound(r[0].toDouble()), qRound(r[1].toDouble())) : QPoint();
  };

  openMenu(QPoint(60, 40));
  QTest::mouseClick(surface, Qt::LeftButton, {}, button(1));
  EXPECT_TRUE(WaitUntil([&] { return Str(view(), kMenu).isEmpty(); }, 10000))
      << "全选 left the menu open";
  EXPECT_TRUE(Str(view(), "window.getSelection().toString()").contains(QStringLiteral("最终结果")));
  openMenu(QPoint(80, 50));
  QTest::mouseClick(surface, Qt::LeftButton, {}, button(0));
  EXPECT_TRUE(WaitUntil(
      [] { return QGuiApplication::clipboard()->text() != QStringLiteral("before"); }, 10000))
      << "复制 copied nothing";
  EXPECT_EQ(
      QGuiApplication::clipboard()->text(),
      QStringLiteral("\n序号\t数据\t每步操作结果\n1 +\t0.05\t0.05\n2 *\t3\t0.15\n最终结果:\t0.15"));
  EXPECT_EQ(Str(view(), kMenu), QString());
}

// A history file crafted to hold script in its cells and total: the page
// shows the texts as written, runs none of them, opens no correction and
// leaves the clipboard alone; nor can the page's script pass for the row hook.
TEST_F(ReportViewTest, ScriptInAHistoryIsShownAsTextAndRunsNothing) {
  const std::vector<std::string> crafted = {
      "<script>console.log('zantor-row-dblclick:1');window.ran=1;"
      "clipboardData.setData('text','curl x | sh')</script>",
      "<img src=x onerror=\"console.log('zantor-row-dblclick:1');window.ran=2\">",
      "<svg onload=\"window.ran=3\"></svg>", "\"><iframe srcdoc='<b>x</b>'>&amp;"};
  for (const std::string& c : crafted) store_->RecordStep(Row('+', "1", c.c_str(), "1"), 2);
  const QString total = QStringLiteral("<script>window.ran=4</script>");
  int modals = 0;
  platform::SetModalHook([&modals](QDialog&) -> std::optional<int> {
    ++modals;
    return res::IDCANCEL;
  });
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  dialog_ = std::make_unique<search::CFindDlg>(*store_, total);
  dialog_->show();
  dialog_->filterList()->setCurrentIndex(dialog_->filterList()->findText(QStringLiteral("全")));
  dialog_->OnFilterChange();
  ClickButton(*dialog_, res::kUnsortedButton);
  ASSERT_TRUE(WaitForReport(view()));
  for (size_t i = 0; i < crafted.size(); ++i) {
    EXPECT_EQ(RunJs(view(), QStringLiteral("document.querySelectorAll('table.D tr')[%1]"
                                           ".cells[1].textContent")
                                .arg(i + 1))
                  .toString(),
              QString::fromStdString(crafted[i]));
  }
  EXPECT_EQ(Str(view(),
                "document.querySelector('table.D').rows.length + ' ' + "
                "document.querySelectorAll('script,img,svg,iframe').length"),
            QStringLiteral("6 1"));  // the page's own script only
  EXPECT_EQ(Str(view(), "document.querySelector('table.D').rows[5].cells[2].textContent"), total);
  RunJs(view(), "console.log('zantor-row-dblclick:1'); console.log('zantor-row-:1'); 0");
  EXPECT_FALSE(WaitUntil([&] { return modals > 0; }, 1500));
  EXPECT_EQ(Str(view(), "String(window.ran)"), QStringLiteral("undefined"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_TRUE(boxes_.empty());
}

// The engine's drawing process ends under the report: the report comes back
// once; when it ends again a box says so. The view never stays blank silently.
TEST_F(ReportViewTest, AnEndedRendererShowsTheReportAgainThenSaysSo) {
  ShowTwoRows();
  auto killRenderer = [&] {
    const qint64 pid = view().page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGKILL), 0);
  };
  killRenderer();
  ASSERT_TRUE(WaitUntil([&] { return view().documentsShown() == 2; }));
  ASSERT_TRUE(WaitForReport(view()));
  EXPECT_EQ(Str(view(), "document.getElementsByTagName('tr')[3].textContent"),
            QStringLiteral("最终结果:0.15"));
  EXPECT_TRUE(boxes_.empty());
  killRenderer();
  ASSERT_TRUE(WaitUntil([&] { return !boxes_.empty(); }));
  EXPECT_EQ(boxes_, std::vector<QString>{QStringLiteral(
                        "显示报表的浏览器进程意外结束，报表无法显示。请关闭查找窗口后重新查找。")});
  EXPECT_EQ(view().documentsShown(), 2);
}

TEST_F(ReportViewTest, NothingOutsideTheReportIsReachable) {
  ShowTwoRows();
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  int connections = 0;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* s = server.nextPendingConnection()) {
      ++connections;
      s->close();
    }
  });
  const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(server.serverPort());
  const QString probe = QStringLiteral(
                            "window.probe = {};"
                            "fetch('%1').then(function(){probe.http='loaded';},"
                            "function(){probe.http='failed';});"
                            "fetch('file:///etc/hostname').then(function(r){return r.text();})"
                            ".then(function(){probe.file='loaded';},"
                            "function(){probe.file='failed';});"
                            "var img = new Image(); img.onerror = function(){probe.img='failed';};"
                            "img.onload = function(){probe.img='loaded';}; img.src = '%1/i.png';"
                            "document.body.appendChild(img); 0")
                            .arg(url);
  RunJs(view(), probe);
  ASSERT_TRUE(WaitUntil([&] {
    return RunJs(view(), QStringLiteral("probe.http && probe.file ? 1 : 0")).toInt() == 1;
  }));
  EXPECT_EQ(Str(view(), "probe.http"), QStringLiteral("failed"));
  EXPECT_EQ(Str(view(), "probe.file"), QStringLiteral("failed"));
  EXPECT_NE(Str(view(), "String(probe.img)"), QStringLiteral("loaded"));
  // Nor may the page navigate to the network: the load fails unsent.
  std::optional<bool> navigated;
  QObject::connect(&view(), &QWebEngineView::loadFinished, [&](bool ok) { navigated = ok; });
  RunJs(view(), QStringLiteral("window.location.href = '%1/nav'; 0").arg(url));
  ASSERT_TRUE(WaitUntil([&] { return navigated.has_value(); }));
  EXPECT_FALSE(*navigated);
  EXPECT_EQ(connections, 0);
}

// Each report replaces the whole page: the context menu starts afresh.
TEST(ReportViewReplace, ANewDocumentReplacesTheOldOne) {
  ReportView view;
  view.show();
  view.ShowDocument(QByteArray::fromStdString(search::BuildReportGbk(SyntheticTable(3), "1")));
  ASSERT_TRUE(WaitForReport(view));
  RunJs(view,
        "document.body.dispatchEvent(new MouseEvent('contextmenu',{bubbles:true,cancelable:true}));"
        "0");
  ASSERT_EQ(RunJs(view, "document.getElementsByTagName('span')[0].childNodes.length").toInt(), 3);
  view.ShowDocument(QByteArray::fromStdString(search::BuildReportGbk(store::Table{}, "0.00")));
  ASSERT_TRUE(WaitForReport(view));
  EXPECT_EQ(view.documentsShown(), 2);
  EXPECT_EQ(RunJs(view, "document.getElementsByTagName('tr').length").toInt(), 3);
  EXPECT_EQ(Str(view, "document.getElementsByTagName('tr')[2].textContent"),
            QStringLiteral("没有查找到！"));
  EXPECT_EQ(RunJs(view, "document.getElementsByTagName('span')[0].childNodes.length").toInt(), 0);
}

// The program writes nothing to the standard error stream in normal use:
// opening the dialog and showing a report must not make the toolkit warn.
std::vector<QString>& Logged() {
  static std::vector<QString> messages;
  return messages;
}

TEST(ReportViewQuiet, OpeningAndShowingAReportLogsNothing) {
  {
    // The engine's own start-up notes (GL without a screen) come once, with
    // the first view; get them out of the way.
    ReportView warmUp;
  }
  Logged().clear();
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { Logged().push_back(text); });
  QTemporaryDir dir;
  store::HistoryStore history(dir.filePath(QStringLiteral("QorvelDb.db")).toStdString());
  history.OpenHistoryDatabase();
  history.RecordStep(Row('+', "1", "1", "1"), 0);
  {
    search::CFindDlg dialog(history, QStringLiteral("1"));
    dialog.show();
    dialog.filterList()->setCurrentIndex(dialog.filterList()->findText(QStringLiteral("全")));
    dialog.OnFilterChange();
    dialog.OnSortNone();
    EXPECT_TRUE(WaitForReport(*dialog.reportView()));
  }
  qInstallMessageHandler(previous);
  for (const QString& text : Logged()) ADD_FAILURE() << text.toStdString();
}

}  // namespace
}  // namespace zantor::searchui
