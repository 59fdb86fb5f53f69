// The single-instance lock the program takes before its window opens.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <string>

#include "platform/single_instance.h"

namespace zantor::apptest {
namespace {

// One running copy: the lock taken by this process refuses a second taker,
// here or in another process, and is gone with the process that held it.
TEST(SingleInstanceTest, SecondTakerIsRefused) {
  const std::string name = "zantor-test-" + std::to_string(getpid());
  ASSERT_TRUE(platform::AcquireSingleInstance(name));
  EXPECT_FALSE(platform::AcquireSingleInstance(name)) << "same process, second descriptor";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(platform::AcquireSingleInstance(name) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "another process must be refused";
}

TEST(SingleInstanceTest, LockEndsWithItsProcess) {
  const std::string name = "zantor-test-ended-" + std::to_string(getpid());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(platform::AcquireSingleInstance(name) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(platform::InstanceLockPath(name))));
  EXPECT_TRUE(platform::AcquireSingleInstance(name));
}

}  // namespace
}  // namespace zantor::apptest
