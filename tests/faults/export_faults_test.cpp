// The search dialog when the disk gives out during an export, when the
// chosen path cannot be a file, and with a megabyte on the clipboard; and the
// dialog's own texts, as shown.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "fault_support.h"
#include "platform/desktop.h"
#include "search/find_dialog.h"
#include "store/history_store.h"
#include "tests/support/qt_files.h"
#include "tests/support/two_steps.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zantor::faults {
namespace {

using search::CFindDlg;

const QString kCaption = QStringLiteral("查  找");

QString CannotWrite(const QString& path) { return QStringLiteral("无法写入文件：\n") + path; }

using testsupport::ReadAll;

struct Box {
  QString text;
  unsigned flags = 0;
};

class ExportFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    store_ = std::make_unique<store::HistoryStore>(
        dir_.filePath(QStringLiteral("QorvelDb.db")).toStdString());
    ASSERT_EQ(store_->OpenHistoryDatabase(), store::Notice::kNone);
    testsupport::RecordTwoSteps(*store_);
    search::RequeryPending() = true;
    HookBoxes();
  }
  void HookBoxes() {
    platform::SetMessageBoxHook([this](const QString& text, unsigned flags) {
      boxes_.push_back({text, flags});
      return res::IDOK;
    });
  }
  void TearDown() override { platform::SetMessageBoxHook({}); }

  std::unique_ptr<CFindDlg> Open() {
    auto dialog = std::make_unique<CFindDlg>(*store_, QStringLiteral("0.15"));
    dialog->show();
    dialog->filterList()->setCurrentIndex(dialog->filterList()->findText(QStringLiteral("全")));
    dialog->OnFilterChange();
    return dialog;
  }
  static QByteArray Expected() { return QByteArray::fromStdString(testsupport::kTwoStepsCsvBytes); }
  // Files in `folder` other than the history's.
  static QStringList Files(const QString& folder) {
    QStringList out;
    for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
      if (!n.startsWith(QStringLiteral("QorvelDb.db")) && n != QStringLiteral("filler")) out << n;
    }
    return out;
  }

  QTemporaryDir dir_;
  std::unique_ptr<store::HistoryStore> store_;
  std::vector<Box> boxes_;
};

enum class Fault { kNoSpace, kFileTooLarge };

class ExportDiskFaultTest : public ExportFaultTest, public ::testing::WithParamInterface<Fault> {};

// The disk fills up, or refuses to let the file grow, while the export writes:
// a message names the file, the file that was there keeps its old content, a
// file that was not there does not appear, no temporary file is left, the
// caption stays. With room again the same export succeeds.
TEST_P(ExportDiskFaultTest, DiskFullWhileExporting) {
  const Fault fault = GetParam();
  std::unique_ptr<QTemporaryDir> small;
  QString folder = dir_.path();
  if (fault == Fault::kNoSpace) {
    if (SmallDisk().empty()) GTEST_SKIP() << "no small tmpfs here";
    small = std::make_unique<QTemporaryDir>(QString::fromStdString(SmallDisk()) +
                                            QStringLiteral("/export-XXXXXX"));
    ASSERT_TRUE(small->isValid());
    folder = small->path();
  }
  const QString old = folder + QStringLiteral("/rows.csv");
  const QString fresh = folder + QStringLiteral("/new.txt");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old rows\n");
  }
  auto dialog = Open();
  boxes_.clear();
  {
    std::optional<DiskFiller> filler;
    std::optional<FileSizeLimit> limit;
    if (fault == Fault::kNoSpace) {
      filler.emplace(folder.toStdString());
      ASSERT_TRUE(filler->full());
    } else {
      limit.emplace(16);  // far less than the export's bytes
      ASSERT_TRUE(limit->active());
    }
    EXPECT_FALSE(dialog->ExportTo(old));
    EXPECT_FALSE(dialog->ExportTo(fresh));
  }
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, CannotWrite(old));
  EXPECT_EQ(boxes_[1].text, CannotWrite(fresh));
  EXPECT_EQ(boxes_[0].flags, platform::MB_OK | platform::MB_ICONWARNING);
  EXPECT_EQ(dialog->windowTitle(), kCaption);
  EXPECT_EQ(ReadAll(old), QByteArray("old rows\n"));
  EXPECT_FALSE(QFileInfo::exists(fresh));
  EXPECT_EQ(Files(folder), QStringList{QStringLiteral("rows.csv")});

  ASSERT_TRUE(dialog->ExportTo(old));
  EXPECT_EQ(ReadAll(old), Expected());
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + old);
  EXPECT_EQ(boxes_.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportDiskFaultTest,
                         ::testing::Values(Fault::kNoSpace, Fault::kFileTooLarge),
                         [](const ::testing::TestParamInfo<Fault>& fault) {
                           // ENOSPC on a full tmpfs; EFBIG past RLIMIT_FSIZE.
                           return std::string(fault.param == Fault::kNoSpace ? "FullTmpfs"
                                                                             : "FileSizeLimit");
                         });

// A megabyte on the clipboard pasted into the value field: nothing lands, the
// clipboard then holds "0", and no message is shown.
TEST_F(ExportFaultTest, AMegabyteIntoTheValueField) {
  auto dialog = Open();
  QLineEdit* field = dialog->valueField();
  field->setText(QStringLiteral("12"));
  QGuiApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('5')));
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(field->text(), QStringLiteral("12"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0"));
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(field->text(), QStringLiteral("120"));
  EXPECT_TRUE(boxes_.empty());
}

// The dialog's boxes, through the hook and for real, and its captions.
TEST_F(ExportFaultTest, TheSearchDialogsTexts) {
  auto dialog = Open();
  EXPECT_EQ(dialog->windowTitle(), kCaption);
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.csv")));
  const QString folderPath = dir_.filePath(QStringLiteral("folder.csv"));
  const QString missing = dir_.filePath(QStringLiteral("no-such-dir/rows.csv"));

  struct Case {
    const char* what;
    QString text;
    unsigned flags;
    QMessageBox::Icon icon;
    std::function<void()> show;
  };
  const std::vector<Case> cases = {
      {"refused value", QStringLiteral("请检查数据是否合理。"), platform::MB_OK,
       QMessageBox::Warning,
       [&] {
         dialog->filterList()->setCurrentIndex(dialog->filterList()->findText(QStringLiteral("<")));
         dialog->OnFilterChange();
         dialog->valueField()->setText(QStringLiteral("5-"));
         dialog->OnSortNone();
       }},
      {"export into a folder", CannotWrite(folderPath), platform::MB_OK | platform::MB_ICONWARNING,
       QMessageBox::Warning, [&] { dialog->ExportTo(folderPath); }},
      {"export into a missing folder", CannotWrite(missing),
       platform::MB_OK | platform::MB_ICONWARNING, QMessageBox::Warning,
       [&] { dialog->ExportTo(missing); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_.clear();
    c.show();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, c.text);
    EXPECT_EQ(boxes_[0].flags, c.flags);

    platform::SetMessageBoxHook({});
    QString caption;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    c.show();
    poll.stop();
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(caption, QStringLiteral("zantor_faults_search_tests"));
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(buttons, QStringList{QStringLiteral("确定")});
    HookBoxes();
  }
  EXPECT_EQ(dialog->windowTitle(), kCaption) << "no failed export changes the caption";
  EXPECT_FALSE(QFileInfo::exists(missing));
  EXPECT_TRUE(QFileInfo(folderPath).isDir());
  const QString good = dir_.filePath(QStringLiteral("good.html"));
  ASSERT_TRUE(dialog->ExportTo(good));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + good);
}

}  // namespace
}  // namespace zantor::faults
