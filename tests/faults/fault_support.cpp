#include "fault_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/support/history_file.h"

namespace zantor::faults {
namespace {

std::string& DiskRoot() {
  static std::string root;
  return root;
}

bool WriteAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w <= 0) return false;
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

std::string MountSmallDisk(std::string* why) {
  if (::unshare(CLONE_NEWNS) != 0) {
    *why = std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    return {};
  }
  // Private, so that the mount below never shows outside this process.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    *why = std::string("mount --make-rprivate /: ") + std::strerror(errno);
    return {};
  }
  const char* base = std::getenv("TMPDIR");
  std::string dir =
      std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/zantor-small-disk-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) {
    *why = std::string("mkdtemp: ") + std::strerror(errno);
    return {};
  }
  if (::mount("zantor-faults", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0700") !=
      0) {
    *why = std::string("mount tmpfs: ") + std::strerror(errno);
    ::rmdir(dir.c_str());
    return {};
  }
  DiskRoot() = dir;
  return dir;
}

const std::string& SmallDisk() { return DiskRoot(); }

DiskFiller::DiskFiller(const std::string& dir) : path_(dir + "/filler") {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // Big pieces first, then smaller ones, down to single bytes: afterwards not
  // even one more block can be had.
  static const std::string chunk(1 << 16, 'f');
  for (size_t piece = chunk.size(); piece >= 1; piece /= 4) {
    for (;;) {
      const ssize_t w = ::write(fd, chunk.data(), piece);
      if (w > 0) continue;
      if (w < 0 && errno == ENOSPC) break;
      ::close(fd);
      return;  // some other trouble: not full
    }
  }
  full_ = true;
  ::close(fd);
}

void DiskFiller::Release() {
  if (!path_.empty()) ::unlink(path_.c_str());
  full_ = false;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
  oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lowered = old_;
  lowered.rlim_cur = bytes;  // the hard limit stays, so the old one can come back
  active_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
}

FileSizeLimit::~FileSizeLimit() {
  if (active_) ::setrlimit(RLIMIT_FSIZE, &old_);
  std::signal(SIGXFSZ, oldHandler_ != SIG_ERR ? oldHandler_ : SIG_DFL);
}

bool ForeignLock::Take(const std::string& dbPath, bool shutOutReaders) {
  int in[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  std::string shell = ZANTOR_SQLITE3_SHELL;
  std::string batch = "-batch";
  std::string path = dbPath;
  char* argv[] = {shell.data(), batch.data(), path.data(), nullptr};
  const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(devnull, 1);
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(devnull);
  toShell_ = in[1];
  if (pid_ < 0) return false;
  const std::string take = shutOutReaders
                               ? ".timeout 5000\nPRAGMA locking_mode=EXCLUSIVE;\nBEGIN EXCLUSIVE;\n"
                                 "SELECT count(*) FROM sqlite_master;\n"
                               : ".timeout 5000\nBEGIN EXCLUSIVE;\n";
  if (!WriteAll(toShell_, take.data(), take.size())) return false;
  if (shutOutReaders) {
    // A connection of ours left open would hold the shell off in WAL mode:
    // each look opens and closes its own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      sqlite3* probe = nullptr;
      int rc = sqlite3_open_v2(dbPath.c_str(), &probe, SQLITE_OPEN_READWRITE, nullptr);
      if (rc == SQLITE_OK) {
        rc = sqlite3_exec(probe, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
      }
      sqlite3_close(probe);
      if (rc == SQLITE_BUSY) return true;
      ::usleep(2000);
    }
    return false;
  }

  // Held once a write transaction of our own is refused at once.
  sqlite3* probe = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &probe, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(probe);
    return false;
  }
  bool held = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!held && std::chrono::steady_clock::now() < deadline) {
    const int rc = sqlite3_exec(probe, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_BUSY) {
      held = true;
    } else {
      sqlite3_exec(probe, "ROLLBACK;", nullptr, nullptr, nullptr);
      ::usleep(2000);
    }
  }
  sqlite3_close(probe);
  return held;
}

void ForeignLock::Release() {
  if (toShell_ >= 0) {
    const std::string end = "COMMIT;\n.quit\n";
    WriteAll(toShell_, end.data(), end.size());
    ::close(toShell_);
    toShell_ = -1;
  }
  if (pid_ > 0) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

void ForeignLock::ReleaseAfter(int ms) {
  releaser_ = std::thread([this, ms] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    Release();
  });
}

ForeignLock::~ForeignLock() {
  if (releaser_.joinable()) releaser_.join();
  Release();
}

std::vector<std::vector<std::string>> Query(const std::string& dbPath, const std::string& sql) {
  return testsupport::ReadHistory(dbPath, sql);
}

std::string IntegrityCheck(const std::string& dbPath) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "cannot open";
  }
  std::string out;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &s, nullptr) != SQLITE_OK) {
    out = sqlite3_errmsg(db);
  } else {
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      if (!out.empty()) out += "\n";
      out += reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    if (rc != SQLITE_DONE) out += (out.empty() ? "" : "\n") + std::string(sqlite3_errmsg(db));
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace zantor::faults
