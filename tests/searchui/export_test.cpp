// Export from the real dialog: the bytes on disk for each layout, the save
// dialog's extension rule, and what happens when the file cannot be written.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <random>

#include "platform/text/gbk.h"

#include "search/export_text.h"
#include "searchui_support.h"
#include "tests/support/two_steps.h"

namespace zantor::searchui {
namespace {

using search::CFindDlg;

constexpr char kCaption[] = "查  找";

class ExportTest : public SearchUiTest {
 protected:
  void RecordTwoSteps() { testsupport::RecordTwoSteps(*store_); }
  std::unique_ptr<CFindDlg> Open(const QString& finalResult) {
    auto dialog = std::make_unique<CFindDlg>(*store_, finalResult);
    dialog->show();
    return dialog;
  }
  static void Select(CFindDlg& dialog, const QString& entry) {
    dialog.filterList()->setCurrentIndex(dialog.filterList()->findText(entry));
    dialog.OnFilterChange();
  }
};

TEST_F(ExportTest, CsvAndTxtHoldTheSameCommaLayout) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("全"));
  ASSERT_TRUE(dialog->ExportTo(path("a.csv")));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + path("a.csv"));
  ASSERT_TRUE(dialog->ExportTo(path("a.txt")));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + path("a.txt"));
  EXPECT_TRUE(boxes_.empty());

  const QByteArray expected = QByteArray::fromStdString(testsupport::kTwoStepsCsvBytes);
  EXPECT_EQ(ReadAll(path("a.csv")), expected);
  EXPECT_EQ(ReadAll(path("a.txt")), expected);
}

TEST_F(ExportTest, OtherEndingsGetTheHtmlPage) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("全"));
  ASSERT_TRUE(dialog->ExportTo(path("a.html")));
  const QByteArray expected = QByteArray::fromStdString(testsupport::kTwoStepsHtmlBytes);
  EXPECT_EQ(ReadAll(path("a.html")), expected);

  ASSERT_TRUE(dialog->ExportTo(path("a.htm")));
  ASSERT_TRUE(dialog->ExportTo(path("plain")));
  EXPECT_EQ(ReadAll(path("a.htm")), expected);
  EXPECT_EQ(ReadAll(path("plain")), expected);
}

TEST_F(ExportTest, RowsComeInTableOrderWhateverTheLastSort) {
  RecordTwoSteps();
  store_->RecordStep(Row('+', "1", "1", "1.15"), 2);
  ASSERT_EQ(store_->SaveLastTotal(2, "1.15"), store::Notice::kNone);
  auto dialog = Open(QStringLiteral("1.15"));
  Select(*dialog, QStringLiteral("+"));
  ClickButton(*dialog, res::kDescendingButton);
  ASSERT_EQ(dialog->reportView()->documentsShown(), 1);
  // Descending on screen: the second addition first.
  EXPECT_LT(dialog->reportView()->document().indexOf("3 +"),
            dialog->reportView()->document().indexOf("1 +"));
  ASSERT_TRUE(dialog->ExportTo(path("plus.csv")));
  EXPECT_EQ(ReadAll(path("plus.csv")), Gbk(QStringLiteral("序号,操作,数据,每一步结果\r\n"
                                                          "1,+,\"0.05\",\"0.05\"\r\n"
                                                          "3,+,\"1\",\"1.15\"\r\n"
                                                          ",,最终结果:,\"1.15\",")));
}

TEST_F(ExportTest, AnEmptyOrRefusedValueStillWritesTheNotFoundFile) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.00"));
  const QByteArray notFound =
      Gbk(QStringLiteral("序号,操作,数据,每一步结果\r\n,,最终结果:,\"0.00\",没有查找到！,\r\n"));
  // "<" with nothing typed: no message.
  ASSERT_TRUE(dialog->ExportTo(path("empty.csv")));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ReadAll(path("empty.csv")), notFound);

  dialog->valueField()->setText(QStringLiteral("5."));
  ASSERT_TRUE(dialog->ExportTo(path("refused.txt")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], QStringLiteral("请检查数据是否合理。"));
  EXPECT_EQ(ReadAll(path("refused.txt")), notFound);
}

TEST_F(ExportTest, AnExistingFileIsReplacedWithoutAQuestion) {
  RecordTwoSteps();
  const QString target = path("old.csv");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(10000, 'x'));
  }
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("*"));
  ASSERT_TRUE(dialog->ExportTo(target));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ReadAll(target), Gbk(QStringLiteral("序号,操作,数据,每一步结果\r\n"
                                                "2,*,\"3\",\"0.15\"\r\n"
                                                ",,最终结果:,\"0.15\",")));
}

TEST_F(ExportTest, AnUnwritablePathShowsAMessageAndLeavesEverythingAsItWas) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("全"));
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.csv")));
  const QString missingDir = path("no-such-dir/rows.csv");
  for (const QString& target : {missingDir, path("folder.csv")}) {
    SCOPED_TRACE(target.toStdString());
    search::RequeryPending() = true;
    boxes_.clear();
    EXPECT_FALSE(dialog->ExportTo(target));
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(kCaption));
    // Nothing ran: the next sort still rebuilds the report.
    EXPECT_TRUE(search::RequeryPending());
  }
  EXPECT_FALSE(QFileInfo::exists(missingDir));
  EXPECT_TRUE(QFileInfo(path("folder.csv")).isDir());
  // No stray temporary file beside the target either.
  QStringList stray;
  for (const QString& name : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden)) {
    if (!name.startsWith(QStringLiteral("QorvelDb.db"))) stray << name;
  }
  EXPECT_EQ(stray, QStringList());
}

// Root's override of permission bits, off for this thread while it lives, so
// that a folder without write permission refuses us as it refuses a user.
class NoPermissionOverride {
 public:
  NoPermissionOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &=
        ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~NoPermissionOverride() {
    if (active_) ::syscall(SYS_capset, &header_, saved_);
  }
  NoPermissionOverride(const NoPermissionOverride&) = delete;
  NoPermissionOverride& operator=(const NoPermissionOverride&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2] = {};
  bool active_ = false;
};

// A file the user may write, in a folder where no new file can be made (a
// shared folder, a mounted share): the file is written in place. A new file
// there still cannot be made, and says so.
TEST_F(ExportTest, AWritableFileInAFolderThatIsNotIsWrittenInPlace) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("*"));
  const QString folder = path("locked");
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString target = folder + QStringLiteral("/rows.csv");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(10000, 'x'));
  }
  ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
  {
    NoPermissionOverride asAUser;
    EXPECT_TRUE(dialog->ExportTo(target));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(dialog->ExportTo(folder + QStringLiteral("/new.csv")));
    EXPECT_EQ(boxes_.size(), 1u);
  }
  ::chmod(folder.toLocal8Bit().constData(), 0755);
  EXPECT_EQ(ReadAll(target), Gbk(QStringLiteral("序号,操作,数据,每一步结果\r\n"
                                                "2,*,\"3\",\"0.15\"\r\n"
                                                ",,最终结果:,\"0.15\",")));
  EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("rows.csv")});
}

TEST_F(ExportTest, TheExportButtonWritesWhereTheChooserSays) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("全"));
  int asked = 0;
  std::optional<QString> answer;
  dialog->SetSavePathChooser([&](QWidget* owner) {
    EXPECT_EQ(owner, dialog.get());
    ++asked;
    return answer;
  });
  // Cancelled: no file, no caption, the flag untouched.
  ClickButton(*dialog, res::kExportDataButton);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(kCaption));
  EXPECT_TRUE(search::RequeryPending());

  answer = path("b.txt");
  ClickButton(*dialog, res::kExportDataButton);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + path("b.txt"));
  EXPECT_EQ(ReadAll(path("b.txt")), QByteArray::fromStdString(testsupport::kTwoStepsCsvBytes));
  EXPECT_FALSE(search::RequeryPending());
  // The caret goes back to the value field.
  EXPECT_EQ(dialog->focusWidget(), dialog->valueField());
}

// The save dialog, answered as a user would: a name typed without an
// extension gets the selected type's one; a typed extension stays.
TEST_F(ExportTest, TheSaveDialogAddsTheChosenTypesExtension) {
  struct Case {
    const char* typed;
    const char* type;
    const char* saved;
  };
  const Case cases[] = {
      {"report", "数据文件(*.csv)", "report.csv"},
      {"report", "文本文件(*.txt)", "report.txt"},
      {"report", "网页文件 (*.html)", "report.html"},
      {"notes.txt", "网页文件 (*.html)", "notes.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    QStringList offered;
    QString preselected;
    platform::SetModalHook([&](QDialog& d) -> std::optional<int> {
      auto* files = qobject_cast<QFileDialog*>(&d);
      if (files == nullptr) return std::nullopt;
      offered = files->nameFilters();
      preselected = files->selectedNameFilter();
      EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptSave);
      // The type first, then the name: picking a type afterwards would
      // rewrite a typed extension in the name field, in plain view.
      files->selectNameFilter(QString::fromUtf8(c.type));
      files->selectFile(path(QString::fromUtf8(c.typed)));
      return res::IDOK;
    });
    const std::optional<QString> chosen = search::ChooseExportPath(nullptr);
    EXPECT_EQ(offered,
              (QStringList{QStringLiteral("网页文件 (*.html)"), QStringLiteral("数据文件(*.csv)"),
                           QStringLiteral("文本文件(*.txt)")}));
    EXPECT_EQ(preselected, QStringLiteral("网页文件 (*.html)"));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, path(QString::fromUtf8(c.saved)));
  }
  platform::SetModalHook([](QDialog&) -> std::optional<int> { return res::IDCANCEL; });
  EXPECT_FALSE(search::ChooseExportPath(nullptr).has_value());
}

// The whole road: button, the real save dialog, the file.
TEST_F(ExportTest, TheExportButtonRunsTheSaveDialog) {
  RecordTwoSteps();
  auto dialog = Open(QStringLiteral("0.15"));
  Select(*dialog, QStringLiteral("全"));
  platform::SetModalHook([&](QDialog& d) -> std::optional<int> {
    auto* files = qobject_cast<QFileDialog*>(&d);
    if (files == nullptr) return std::nullopt;
    files->selectNameFilter(QStringLiteral("数据文件(*.csv)"));
    files->selectFile(path(QStringLiteral("saved")));
    return res::IDOK;
  });
  ClickButton(*dialog, res::kExportDataButton);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("保存到：") + path("saved.csv"));
  EXPECT_EQ(ReadAll(path("saved.csv")), QByteArray::fromStdString(testsupport::kTwoStepsCsvBytes));
}

// The file bytes are the whole text converted, then CR put before every LF;
// converting only the non-ASCII runs must give exactly that, malformed
// input included.
TEST(ExportBytesTest, RunWiseConversionMatchesWholeConversion) {
  const char* pieces[] = {
      "序号",        "1,234.5",          "\n",       "\"",    ",",  "最终结果:", "\xE5",
      "\xFF",        "\xF0\x9F\x98\x80", "\xE5\x8F", "-0.05", "。", "\xC3\xA9",  "\x80",
      "没有查找到！"};
  std::mt19937 random(20240611);
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    const int parts = static_cast<int>(random() % 12);
    for (int k = 0; k < parts; ++k) text += pieces[random() % std::size(pieces)];
    std::string expected;
    for (char c : platform::ToGbk(text)) {
      if (c == '\n') expected.push_back('\r');
      expected.push_back(c);
    }
    ASSERT_EQ(search::ToFileBytes(text), expected) << text;
  }
}

}  // namespace
}  // namespace zantor::searchui
