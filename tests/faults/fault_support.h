// Ways to make the disk, the file system and the history file misbehave
// while the program runs, for the fault tests. Everything here works as root,
// where permission bits stop nothing.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <thread>
#include <vector>

namespace zantor::faults {

// A small tmpfs mounted in a private mount namespace, so that "no space left
// on device" is real. Must be called before any thread starts (unshare of the
// mount namespace refuses a process with threads). Returns the mount point,
// or an empty string with `why` filled when the system does not allow it.
std::string MountSmallDisk(std::string* why);
// The mount point made by MountSmallDisk ("" when there is none).
const std::string& SmallDisk();

// Takes every free byte of the file system holding `dir` with one file, so
// that the next write that needs a new block fails with ENOSPC. Release()
// (or the destructor) gives the space back.
class DiskFiller {
 public:
  explicit DiskFiller(const std::string& dir);
  ~DiskFiller() { Release(); }
  DiskFiller(const DiskFiller&) = delete;
  DiskFiller& operator=(const DiskFiller&) = delete;

  bool full() const { return full_; }
  void Release();

 private:
  std::string path_;
  bool full_ = false;
};

// Lowers this process's file-size limit (RLIMIT_FSIZE) so that any write at
// or past `bytes` fails with EFBIG; SIGXFSZ is ignored meanwhile. The old
// limit and signal disposition come back with the destructor.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool active() const { return active_; }

 private:
  struct rlimit old_ {};
  void (*oldHandler_)(int) = nullptr;
  bool active_ = false;
};

// Another process holding the history file's write lock: the sqlite3 shell
// runs BEGIN EXCLUSIVE on it and keeps the transaction until Release().
class ForeignLock {
 public:
  // Starts the shell; true once it reports that it holds the lock. With
  // `shutOutReaders`, in locking_mode=EXCLUSIVE: not even a read gets in.
  bool Take(const std::string& dbPath, bool shutOutReaders = false);
  // COMMIT and end the shell; waits for it.
  void Release();
  // Release() after `ms` milliseconds, from another thread, so that the
  // caller can block on the lock meanwhile.
  void ReleaseAfter(int ms);
  ~ForeignLock();

 private:
  pid_t pid_ = -1;
  int toShell_ = -1;
  int fromShell_ = -1;
  std::thread releaser_;
};

// What SQLite's own check says about a file, through a connection of its own
// ("ok" for a sound file).
std::string IntegrityCheck(const std::string& dbPath);
// The rows of a query on the file, each cell as text (NULL as "<null>"); an
// error fails the test and gives no rows.
std::vector<std::vector<std::string>> Query(const std::string& dbPath, const std::string& sql);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
long long FileSize(const std::string& path);

}  // namespace zantor::faults
