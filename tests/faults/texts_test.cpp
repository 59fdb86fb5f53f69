// Every message box, field message, caption, button, menu item and tip the
// main window can show, against the exact text. Each box is made to appear
// by doing what the user does, twice: once answered by the hook (text and
// flags as asked for), once shown for real (text, icon, buttons and caption
// as the toolkit draws them).
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/messages.h"
#include "app/search_loader.h"
#include "app_test_support.h"
#include "fault_support.h"
#include "input/paste.h"
#include "platform/desktop.h"
#include "platform/template_dialog.h"
#include "search/correct_dialog.h"
#include "store/history_store.h"

namespace zantor::faults {
namespace {

using apptest::CalcDialogTest;
using apptest::CCalcDlg;
using apptest::PressEnter;
using apptest::TypeText;

// The caption of every box: the executable's name without its extension.
constexpr char kBoxCaption[] = "zantor_faults_app_tests";

struct RealBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
};

// Answers every real message box that opens while it lives, and notes what
// it showed.
class BoxWatcher {
 public:
  explicit BoxWatcher(int yesNo) : yesNo_(yesNo) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  std::vector<RealBox> seen;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    RealBox b{box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton* button : box->buttons()) b.buttons << button->text();
    b.buttons.sort();
    seen.push_back(b);
    QAbstractButton* answer = box->button(QMessageBox::Ok);
    if (answer == nullptr) {
      answer = box->button(yesNo_ == res::IDYES ? QMessageBox::Yes : QMessageBox::No);
    }
    answer->click();
  }
  QTimer timer_;
  int yesNo_;
};

class TextsTest : public CalcDialogTest {
 public:
  // A fresh folder for each showing, so that every trigger starts alike.
  QString Folder() {
    folders_.push_back(std::make_unique<QTemporaryDir>());
    return folders_.back()->path();
  }
  std::unique_ptr<CCalcDlg> Fresh(int choice = res::IDCANCEL, const QString& folder = {}) {
    auto d = Start(choice, folder.isEmpty() ? Folder() : folder);
    d->SetSearchRunner([](QWidget*, store::HistoryStore&, const QString&) { return false; });
    return d;
  }
  // The one file a clear moved aside in `folder`.
  static QString MovedAside(const QString& folder) {
    const QStringList names = QDir(folder).entryList({QStringLiteral("QorvelDb-*")}, QDir::Files);
    return names.size() == 1 ? QDir(folder).filePath(names[0]) : QString();
  }
  static void Refused(const QString& entry) {
    TextsTest* t = current_;
    auto d = t->Fresh();
    Entry(*d)->setText(entry);
    PressEnter(Entry(*d));
  }

  // 查 找 with the search module looked for at `module` only.
  void Search(const QString& module) {
    auto d = Fresh();
    d->SetSearchRunner([module](QWidget* owner, store::HistoryStore& s, const QString& text) {
      return app::RunSearchModuleFrom({module}, owner, s, text);
    });
    d->OnFind();
  }
  // What a text's %1 stands for, set by the case that shows it.
  QString argument_;

 protected:
  std::vector<std::unique_ptr<QTemporaryDir>> folders_;
  static TextsTest* current_;
};

TextsTest* TextsTest::current_ = nullptr;

struct BoxCase {
  const char* what;
  const char* text;
  unsigned flags;
  QMessageBox::Icon icon;
  QStringList buttons;  // sorted
  std::function<void(TextsTest&)> show;
};

const QStringList kOk = {QStringLiteral("确定")};
const QStringList kYesNo = {QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")};

TEST_F(TextsTest, EveryMessageBoxAsShown) {
  current_ = this;
  using platform::MB_ICONEXCLAMATION;
  using platform::MB_ICONINFORMATION;
  using platform::MB_ICONWARNING;
  using platform::MB_OK;
  using platform::MB_YESNO;
  const std::vector<BoxCase> cases = {
      {"minus placement", "负号位置不正确，请检查！", MB_OK | MB_ICONWARNING, QMessageBox::Warning,
       kOk, [](TextsTest&) { Refused(QStringLiteral("5-")); }},
      {"point count", "小数点太多，请检查！", MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest&) { Refused(QStringLiteral("1.2.3")); }},
      {"point placement", "小数点位置不正确，请检查！", MB_OK | MB_ICONWARNING,
       QMessageBox::Warning, kOk, [](TextsTest&) { Refused(QStringLiteral(".5")); }},
      {"41 characters", "数据超过40位无法计算，\n  如有需要请联系作者。", MB_OK | MB_ICONWARNING,
       QMessageBox::Warning, kOk, [](TextsTest&) { Refused(QString(41, QLatin1Char('9'))); }},
      {"zero result", "这样操作会删除当前运算的结果\n但会保留你以前操作的数据\n你确定将结果清零？",
       MB_YESNO | MB_ICONINFORMATION, QMessageBox::Information, kYesNo,
       [](TextsTest& t) { t.Fresh()->MenuCommand(res::kZeroResultCommand)->trigger(); }},
      {"clear all", "这样操作会删除以前的所有数据\n你确定要清除所有数据？",
       MB_YESNO | MB_ICONEXCLAMATION, QMessageBox::Warning, kYesNo,
       [](TextsTest& t) { t.Fresh()->MenuCommand(res::kClearAllCommand)->trigger(); }},
      {"save failed", "保存数据不成功", MB_OK, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         const QString folder = t.Folder();
         auto d = t.Fresh(res::IDCANCEL, folder);
         TypeText(Entry(*d), QStringLiteral("1"));
         PressEnter(Entry(*d));
         const std::string db = (folder + QStringLiteral("/QorvelDb.db")).toStdString();
         {
           FileSizeLimit limit(static_cast<rlim_t>(FileSize(db + "-wal")));
           TypeText(Entry(*d), QStringLiteral("2"));
           PressEnter(Entry(*d));
         }
         d->OnFind();
       }},
      {"too much data", "保存的数据太多可能会导致运行\n本软件时速度变慢\n是否清除前期的数据！",
       MB_YESNO | MB_ICONINFORMATION, QMessageBox::Information, kYesNo,
       [](TextsTest& t) {
         // A sound history padded past 41 MiB.
         const QString folder = t.Folder();
         const std::string db = (folder + QStringLiteral("/QorvelDb.db")).toStdString();
         {
           store::HistoryStore s(db);
           s.OpenHistoryDatabase();
           s.SaveLastTotal(0, "1");
         }
         ASSERT_EQ(::truncate(db.c_str(), 41LL * 1048576), 0);
         t.Fresh(res::IDOK, folder);
       }},
      {"damaged history",
       "历史数据文件已损坏或不是本程序的文件，\n这次的运算步骤不会被记录。\n"
       "如要重新开始记录，请在启动时选择“清除上次数据”。",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         const QString folder = t.Folder();
         WriteBytes((folder + QStringLiteral("/QorvelDb.db")).toStdString(), "not a history\n");
         t.Fresh(res::IDOK, folder);
       }},
      {"no history at all", "无法打开历史数据文件，\n这次的运算步骤不会被记录。",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         // Neither beside the program nor in the data folder can a file be made.
         const QString folder = t.Folder();
         const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
         qputenv("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toLocal8Bit());
         QDir().mkpath(folder + QStringLiteral("/QorvelDb.db"));
         QDir().mkpath(folder + QStringLiteral("/data/zantor/QorvelDb.db"));
         t.Fresh(res::IDOK, folder);
         qputenv("XDG_DATA_HOME", oldDataHome);
       }},
      {"moved aside", "原来的历史数据文件已损坏或不是本程序的文件，\n没有删除，已改名为：\n%1",
       MB_OK | MB_ICONINFORMATION, QMessageBox::Information, kOk,
       [](TextsTest& t) {
         const QString folder = t.Folder();
         WriteBytes((folder + QStringLiteral("/QorvelDb.db")).toStdString(), "not a history\n");
         t.Fresh(res::IDCANCEL, folder);
         t.argument_ = MovedAside(folder);
       }},
      {"search module missing", "无法打开查找窗口：\n找不到查找模块 zantor-search.so。",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) { t.Search(QStringLiteral("/nowhere/zantor-search")); }},
      {"search library missing",
       "无法打开查找窗口：\n缺少查找模块需要的程序库 libzantor_test_absent.so。",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         t.Search(QStringLiteral(ZANTOR_TEST_MODULES "/needs_absent/zantor-search"));
       }},
      {"search module mismatch", "无法打开查找窗口：\n查找模块与本程序的版本不符。",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         t.Search(QStringLiteral(ZANTOR_TEST_MODULES "/no_entry/zantor-search"));
       }},
      {"search module unloadable", "无法打开查找窗口：\n查找模块无法载入：\n%1",
       MB_OK | MB_ICONWARNING, QMessageBox::Warning, kOk,
       [](TextsTest& t) {
         const QString module = t.Folder() + QStringLiteral("/zantor-search");
         WriteBytes((module + QStringLiteral(".so")).toStdString(), "not a library\n");
         QLibrary library(module);
         library.load();
         t.argument_ = library.errorString();  // the loader's own words
         t.Search(module);
       }},
  };

  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Through the hook: the text and the flags the program asks for.
    boxes_.clear();
    yesNo_ = res::IDNO;
    argument_.clear();
    c.show(*this);
    auto expected = [this, &c] {
      const QString text = QString::fromUtf8(c.text);
      return text.contains(QLatin1String("%1")) ? text.arg(argument_) : text;
    };
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_[0].text, expected());
    EXPECT_EQ(boxes_[0].flags, c.flags);

    // For real: what the toolkit draws.
    platform::SetMessageBoxHook({});
    {
      BoxWatcher watcher(res::IDNO);
      c.show(*this);
      ASSERT_FALSE(watcher.seen.empty());
      const RealBox& b = watcher.seen[0];
      EXPECT_EQ(b.text, expected());
      EXPECT_EQ(b.caption, QString::fromUtf8(kBoxCaption));
      EXPECT_EQ(b.icon, c.icon);
      EXPECT_EQ(b.buttons, c.buttons);
    }
    SetUp();  // the hooks back
  }
  // Shown only in main() before any window: the text itself.
  EXPECT_EQ(app::kAlreadyRunning, QStringLiteral("程序已经运行!"));
}

// The search dialog's own words when a correction is not made (the engine's
// messages for a refused entry are checked above), and the correction
// dialog's caption.
TEST_F(TextsTest, CorrectionRefusalsAndCaption) {
  EXPECT_EQ(search::kCorrectUnknownStep.arg(7), QStringLiteral("找不到第 7 步，没有改正。"));
  EXPECT_EQ(search::kCorrectNoBase.arg(7),
            QStringLiteral("第 7 步的结果不是由前一步算出的，\n无法改正。"));
  EXPECT_EQ(search::kCorrectInUse, QStringLiteral("历史数据文件正被其他程序使用，\n没有改正。"));
  EXPECT_EQ(search::kCorrectFailed, QStringLiteral("改正没有成功，历史数据没有改变。"));
  EXPECT_EQ(search::CorrectCaption(1000000), QStringLiteral("改正第 1000000 步"));
}

// The two paste messages land in the result field, replacing the total.
TEST_F(TextsTest, PasteMessagesInTheResultField) {
  auto d = Fresh();
  QGuiApplication::clipboard()->setText(QString(100, QLatin1Char('1')));
  QTest::keyClick(Entry(*d), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Result(*d), QStringLiteral("粘贴的内容太长"));

  // A clipboard that yields text yet lists no format cannot be made through
  // the toolkit's clipboard; the decision and the window's part are real.
  input::ClipboardView formatless;
  formatless.hasText = true;
  formatless.hasFormats = false;
  formatless.gbk = "12";
  const input::PasteResult r = input::PreparePaste(formatless, '+', 'k');
  EXPECT_FALSE(r.goOn);
  d->ShowPasteMessage(QString::fromStdString(r.message));
  EXPECT_EQ(Result(*d), QStringLiteral("没有粘贴内容"));
  EXPECT_TRUE(boxes_.empty());
}

// Captions, buttons, labels, menu items and the tip, read from the widgets.
TEST_F(TextsTest, CaptionsButtonsMenusAndTip) {
  QString choiceCaption;
  QStringList choiceButtons;
  QString choiceDefault;
  onChoice_ = [&](QDialog& choice) -> std::optional<int> {
    choiceCaption = choice.windowTitle();
    for (QPushButton* b : choice.findChildren<QPushButton*>()) {
      choiceButtons << b->text();
      if (b->isDefault()) choiceDefault = b->text();
    }
    return res::IDCANCEL;
  };
  auto d = Fresh();
  EXPECT_EQ(choiceCaption, QStringLiteral("选择操作方式"));
  EXPECT_EQ(choiceButtons,
            (QStringList{QStringLiteral("保留上次数据"), QStringLiteral("清除上次数据")}));
  EXPECT_EQ(choiceDefault, QStringLiteral("保留上次数据"));

  EXPECT_EQ(d->windowTitle(), QStringLiteral("Zantor"));
  const std::pair<int, const char*> controls[] = {
      {res::kFastModeRadio, "快速"},   {res::kNormalModeRadio, "正常"},
      {res::kFindButton, "查 找"},     {res::kExportButton, "导 出"},
      {res::kOperatorButton, "＋"},    {res::kLastEntryButton, "看上次数据"},
      {res::kMemoryStoreButton, "存"}, {res::kMemoryRecallButton, "取"},
      {res::kEqualsButton, "="},
  };
  for (const auto& [id, text] : controls) {
    auto* button = d->ItemAs<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << id;
    EXPECT_EQ(button->text(), QString::fromUtf8(text)) << id;
  }
  EXPECT_EQ(d->Item(res::kOperatorButton)->toolTip(), QStringLiteral("点击我或用空格切换运算符"));
  const std::pair<int, const char*> ops[] = {{'-', "－"}, {'*', "×"}, {'+', "＋"}};
  for (const auto& [op, caption] : ops) {
    d->OnCycleOperator();
    EXPECT_EQ(d->state().pendingOp, op);
    EXPECT_EQ(d->GetDlgItemText(res::kOperatorButton), QString::fromUtf8(caption));
  }

  auto* bar = d->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList items;
  for (QAction* a : bar->actions()) {
    items << a->text();
    if (a->menu() != nullptr) {
      for (QAction* sub : a->menu()->actions()) items << QStringLiteral("  ") + sub->text();
    }
  }
  EXPECT_EQ(items, (QStringList{QStringLiteral("使用说明"), QStringLiteral("系统计算器"),
                                QStringLiteral("关于作者"), QStringLiteral("清除数据"),
                                QStringLiteral("  结果清零"), QStringLiteral("  全部清除")}));

  // The about box, from its menu item and from the system item the
  // dialog's own menu offers.
  QString aboutCaption;
  QStringList aboutLabels;
  QStringList aboutButtons;
  onOtherDialog_ = [&](QDialog& about) -> std::optional<int> {
    aboutCaption = about.windowTitle();
    aboutLabels.clear();
    aboutButtons.clear();
    for (QLabel* l : about.findChildren<QLabel*>()) {
      if (!l->text().isEmpty()) aboutLabels << l->text();
    }
    for (QPushButton* b : about.findChildren<QPushButton*>()) aboutButtons << b->text();
    return res::IDOK;
  };
  d->MenuCommand(res::kAboutAuthorCommand)->trigger();
  EXPECT_EQ(aboutCaption, QStringLiteral("关于 QorvelV1"));
  ASSERT_FALSE(aboutLabels.isEmpty());
  EXPECT_EQ(aboutLabels[0], QStringLiteral("Zantor1.0 版"));
  EXPECT_EQ(aboutButtons, QStringList{QStringLiteral("确定")});

  d->show();
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  QString systemItem;
  QTimer::singleShot(0, qApp, [&systemItem] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    systemItem = menu->actions().value(0)->text();
    menu->close();
  });
  QWidget* over = d->Item(res::kMemoryStoreButton);
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), over->mapToGlobal(QPoint(2, 2)));
  QCoreApplication::sendEvent(over, &e);
  EXPECT_EQ(systemItem, QStringLiteral("关于 QorvelV1(&A)..."));
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace zantor::faults
