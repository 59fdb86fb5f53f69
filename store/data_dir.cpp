// Where the history file lives.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/history_store.h"

namespace zantor::store {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether files can be created in `dir`: root passes every permission check,
// so ask the file system itself (a read-only mount, /proc, a full quota).
bool CanCreateFilesIn(const std::string& dir) {
  if (!IsDirectory(dir)) return false;
  std::string probe = dir + "/.zantor-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

// An existing history file must be writable too (WAL also needs the
// directory, which CanCreateFilesIn has shown).
bool ExistingFileWritable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  return errno == ENOENT;
}

// mkdir -p; true when `path` is a directory afterwards.
bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return IsDirectory(path);
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/tmp";
}

}  // namespace

std::string ResolveDataDirectory(const std::string& executableDir) {
  if (!executableDir.empty() && CanCreateFilesIn(executableDir) &&
      ExistingFileWritable(DatabasePath(executableDir))) {
    return executableDir;
  }
  // XDG Base Directory: a relative $XDG_DATA_HOME is invalid and ignored.
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    base = HomeDirectory() + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string dir = base + "/zantor";
  MakeDirectories(dir);  // on failure the open fails and the caller is told
  return dir;
}

std::string ExecutableDirectory() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return ".";
  path.resize(static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  path.resize(slash);
  return path;
}

}  // namespace zantor::store
