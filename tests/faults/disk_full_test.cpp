// The disk gives out while the main window records steps: a real full disk
// (a small tmpfs of our own) and a file-size limit that refuses every write
// past the history's current end. The step must still show, the loss must be
// told at the next save, and the steps after the fault must be recorded.
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <optional>

#include "app_test_support.h"
#include "fault_support.h"
#include "platform/desktop.h"

namespace zantor::faults {
namespace {

using apptest::CalcDialogTest;
using apptest::CCalcDlg;
using apptest::PressEnter;
using apptest::TypeText;

const QString kSaveFailed = QStringLiteral("保存数据不成功");

enum class Fault { kNoSpace, kFileTooLarge };

class DiskFaultTest : public CalcDialogTest, public ::testing::WithParamInterface<Fault> {
 protected:
  // Where the history lives for `fault`; false when that fault cannot be made here.
  bool Prepare(Fault fault) {
    fault_ = fault;
    if (fault == Fault::kFileTooLarge) {
      folder_ = dir_.path();
      return true;
    }
    if (SmallDisk().empty()) return false;
    small_ = std::make_unique<QTemporaryDir>(QString::fromStdString(SmallDisk()) +
                                             QStringLiteral("/run-XXXXXX"));
    if (!small_->isValid()) return false;
    folder_ = small_->path();
    return true;
  }
  std::string Db() const { return (folder_ + QStringLiteral("/QorvelDb.db")).toStdString(); }

  void Inject() {
    if (fault_ == Fault::kNoSpace) {
      filler_.emplace(folder_.toStdString());
      ASSERT_TRUE(filler_->full());
    } else {
      const long long end = std::max(FileSize(Db()), FileSize(Db() + "-wal"));
      ASSERT_GT(end, 0);
      limit_.emplace(static_cast<rlim_t>(end));
      ASSERT_TRUE(limit_->active());
    }
  }
  void Clear() {
    filler_.reset();
    limit_.reset();
  }

  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    for (const auto& row : Query(Db(), "SELECT mdata FROM MyData ORDER BY ID;")) {
      out.push_back(row[0]);
    }
    return out;
  }

  Fault fault_ = Fault::kNoSpace;
  QString folder_;
  std::unique_ptr<QTemporaryDir> small_;
  std::optional<DiskFiller> filler_;
  std::optional<FileSizeLimit> limit_;
};

// Steps go on being calculated and shown while nothing can be written; the
// next save (here: opening the search) says the data was not saved; once the
// disk has room again the steps are recorded, and the file stays sound.
TEST_P(DiskFaultTest, StepsWhileTheDiskIsFull) {
  if (!Prepare(GetParam())) GTEST_SKIP() << "no small tmpfs here";
  auto d = Start(res::IDCANCEL, folder_);
  d->SetSearchRunner([](QWidget*, store::HistoryStore&, const QString&) { return false; });
  Step(*d, QStringLiteral("1234"));
  Step(*d, QStringLiteral("5"));
  ASSERT_EQ(Entries(), (std::vector<std::string>{"12.34", "0.05"}));

  Inject();
  Step(*d, QStringLiteral("100"));
  EXPECT_EQ(Result(*d), QStringLiteral("13.39")) << "the step shows all the same";
  EXPECT_EQ(Entry(*d)->text(), QString());
  Step(*d, QStringLiteral("200"));
  EXPECT_EQ(Result(*d), QStringLiteral("15.39"));
  EXPECT_TRUE(boxes_.empty()) << "a step never interrupts the user";
  Clear();

  Step(*d, QStringLiteral("300"));
  EXPECT_EQ(Result(*d), QStringLiteral("18.39"));
  d->OnFind();  // the save before the search
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, kSaveFailed);
  EXPECT_EQ(boxes_[0].flags, platform::MB_OK);
  // The two steps made while the disk was full are the ones missing.
  EXPECT_EQ(Entries(), (std::vector<std::string>{"12.34", "0.05", "3.00"}));

  Step(*d, QStringLiteral("400"));
  EXPECT_EQ(Result(*d), QStringLiteral("22.39"));
  d->close();
  EXPECT_EQ(boxes_.size(), 1u) << "nothing more to tell once the disk has room";
  EXPECT_EQ(Entries(), (std::vector<std::string>{"12.34", "0.05", "3.00", "4.00"}));
  EXPECT_EQ(IntegrityCheck(Db()), "ok");

  auto again = Start(res::IDOK, folder_);
  EXPECT_EQ(Result(*again), QStringLiteral("22.39"));
  again->close();
}

// The disk is full when the window closes: the user is told, nothing
// breaks, and the next start offers the last total that reached the disk.
TEST_P(DiskFaultTest, CloseWhileTheDiskIsFull) {
  if (!Prepare(GetParam())) GTEST_SKIP() << "no small tmpfs here";
  auto d = Start(res::IDCANCEL, folder_);
  Step(*d, QStringLiteral("1234"));
  Inject();
  Step(*d, QStringLiteral("5"));
  EXPECT_EQ(Result(*d), QStringLiteral("12.39"));
  d->close();
  EXPECT_EQ(BoxTexts(), std::vector<QString>{kSaveFailed});
  Clear();
  d.reset();

  EXPECT_EQ(IntegrityCheck(Db()), "ok");
  EXPECT_EQ(Entries(), std::vector<std::string>{"12.34"});
  boxes_.clear();
  auto again = Start(res::IDOK, folder_);
  EXPECT_EQ(Result(*again), QStringLiteral("12.34"));
  EXPECT_TRUE(boxes_.empty());
  Step(*again, QStringLiteral("5"));
  again->close();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"12.34", "0.05"}));
  EXPECT_EQ(IntegrityCheck(Db()), "ok");
}

INSTANTIATE_TEST_SUITE_P(Faults, DiskFaultTest,
                         ::testing::Values(Fault::kNoSpace, Fault::kFileTooLarge),
                         [](const ::testing::TestParamInfo<Fault>& fault) {
                           // ENOSPC on a full tmpfs; EFBIG past RLIMIT_FSIZE.
                           return std::string(fault.param == Fault::kNoSpace ? "FullTmpfs"
                                                                             : "FileSizeLimit");
                         });

}  // namespace
}  // namespace zantor::faults
