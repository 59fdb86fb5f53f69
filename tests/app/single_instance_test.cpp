// The single-instance lock the program takes before its window opens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
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

// What another user can plant where the lock goes, a link or a file of their
// own held locked, neither stops the start nor is written through; with no
// runtime folder the lock is in a folder of the cache closed to others.
TEST(SingleInstanceTest, APlantedLinkOrForeignFileNeitherBlocksNorSteers) {
  QTemporaryDir runtime;
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  const std::string target = runtime.filePath(QStringLiteral("steered")).toStdString();
  ASSERT_EQ(symlink(target.c_str(), platform::InstanceLockPath("linked").c_str()), 0);
  EXPECT_TRUE(platform::AcquireSingleInstance("linked"));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(target))) << "written through the link";

  const std::string foreign = platform::InstanceLockPath("foreign");
  const int fd = open(foreign.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  if (getuid() == 0) {
    ASSERT_EQ(fchown(fd, 65534, 65534), 0);
  }
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(platform::AcquireSingleInstance("foreign") ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (getuid() == 0) {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "another user's file blocked the start";
  }
  close(fd);

  QTemporaryDir home;
  qunsetenv("XDG_RUNTIME_DIR");
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.path().toLocal8Bit());
  const std::string path = platform::InstanceLockPath("cached");
  EXPECT_EQ(path, home.filePath(QStringLiteral(".cache/zantor/cached.lock")).toStdString());
  struct stat st {};
  ASSERT_EQ(stat(home.filePath(QStringLiteral(".cache/zantor")).toLocal8Bit().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  qputenv("HOME", savedHome);
  qputenv("XDG_RUNTIME_DIR", saved);
}

// A later start rings the running copy, through a socket beside the lock
// that a copy which ended left behind, and nothing rings with nobody there.
TEST(SingleInstanceTest, ALaterStartRingsTheRunningCopy) {
  QTemporaryDir runtime;
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  const std::string name = "rung";
  EXPECT_FALSE(platform::RingRunningInstance(name));
  {
    // The socket of a copy that ended without taking it away.
    const std::string left = platform::InstanceSocketPath(name);
    EXPECT_EQ(left, runtime.filePath(QStringLiteral("rung.sock")).toStdString());
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    left.copy(addr.sun_path, sizeof addr.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
  }
  ASSERT_TRUE(platform::AcquireSingleInstance(name));
  QObject owner;
  int rung = 0;
  platform::ListenForLaterStarts(name, &owner, [&] { ++rung; });
  for (int start = 1; start <= 2; ++start) {
    EXPECT_TRUE(platform::RingRunningInstance(name));
    QDeadlineTimer deadline(5000);
    while (rung < start && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(rung, start);
  }
  qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
}  // namespace zantor::apptest
