// Where the history file goes. The tests run as root, for whom permission
// bits stop nothing, so "cannot be written" is made of paths that cannot hold
// files for anyone: a path under a regular file, a path whose parent does not
// exist, and /proc, which refuses new files even to root.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::Exists;
using testing::TempDir;
using testing::WriteFile;

class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
  }
  ~EnvGuard() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;
  void Set(const std::string& value) { ::setenv(name_, value.c_str(), 1); }
  void Unset() { ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class DataDirectory : public ::testing::Test {
 protected:
  EnvGuard xdg_{"XDG_DATA_HOME"};
  EnvGuard home_{"HOME"};
  TempDir dir_;
};

TEST_F(DataDirectory, WritableExecutableDirectoryIsUsed) {
  xdg_.Set(dir_ / "xdg");
  EXPECT_EQ(ResolveDataDirectory(dir_.path()), dir_.path());
  EXPECT_FALSE(Exists(dir_ / "xdg")) << "the fallback is not created when not needed";
  // The probe file is gone again.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            0);
}

TEST_F(DataDirectory, ExecutableDirectoryUnderARegularFileFallsBackToXdg) {
  WriteFile(dir_ / "file", "x");
  xdg_.Set(dir_ / "xdg/data");
  const std::string got = ResolveDataDirectory(dir_ / "file/bin");
  EXPECT_EQ(got, dir_ / "xdg/data/zantor");
  EXPECT_TRUE(IsDirectory(got)) << "created, parents included";
  // And the store works there.
  HistoryStore store(DatabasePath(got));
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_TRUE(Exists(got + "/QorvelDb.db"));
}

TEST_F(DataDirectory, MissingExecutableDirectoryFallsBack) {
  xdg_.Set(dir_ / "xdg");
  EXPECT_EQ(ResolveDataDirectory(dir_ / "no/such/dir"), dir_ / "xdg/zantor");
  EXPECT_FALSE(Exists(dir_ / "no")) << "the executable's directory is never created";
  EXPECT_EQ(ResolveDataDirectory(""), dir_ / "xdg/zantor");
}

TEST_F(DataDirectory, ProcRefusesFilesEvenToRoot) {
  ASSERT_TRUE(IsDirectory("/proc"));
  xdg_.Set(dir_ / "xdg");
  EXPECT_EQ(ResolveDataDirectory("/proc"), dir_ / "xdg/zantor");
}

TEST_F(DataDirectory, UnwritableHistoryFileFallsBack) {
  // A "QorvelDb.db" that cannot be opened for writing (here: a directory).
  ASSERT_EQ(::mkdir((dir_ / "QorvelDb.db").c_str(), 0700), 0);
  xdg_.Set(dir_ / "xdg");
  EXPECT_EQ(ResolveDataDirectory(dir_.path()), dir_ / "xdg/zantor");
}

TEST_F(DataDirectory, DefaultIsHomeLocalShare) {
  xdg_.Unset();
  home_.Set(dir_.path());
  EXPECT_EQ(ResolveDataDirectory("/proc"), dir_ / ".local/share/zantor");
  EXPECT_TRUE(IsDirectory(dir_ / ".local/share/zantor"));
  xdg_.Set("relative/path");  // invalid by the XDG rules: ignored
  EXPECT_EQ(ResolveDataDirectory("/proc"), dir_ / ".local/share/zantor");
  xdg_.Set("");
  EXPECT_EQ(ResolveDataDirectory("/proc"), dir_ / ".local/share/zantor");
}

TEST_F(DataDirectory, NothingWritableAnywhereStillCalculates) {
  WriteFile(dir_ / "file", "x");
  xdg_.Set(dir_ / "file/xdg");  // cannot be created either
  const std::string got = ResolveDataDirectory("/proc");
  EXPECT_EQ(got, dir_ / "file/xdg/zantor");
  HistoryStore store(DatabasePath(got));
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_FALSE(saved.found);  // no file there: the field shows "0.00"
  EXPECT_FALSE(saved.openFailed);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kHistoryUnavailable);
  EXPECT_FALSE(store.isOpen());
}

TEST(DataPaths, DatabasePathAndExecutableDirectory) {
  EXPECT_EQ(DatabasePath("/opt/zantor"), "/opt/zantor/QorvelDb.db");
  EXPECT_EQ(DatabasePath("/opt/zantor/"), "/opt/zantor/QorvelDb.db");
  const std::string exe = ExecutableDirectory();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe[0], '/');
  EXPECT_TRUE(IsDirectory(exe));
}

}  // namespace
}  // namespace zantor::store
