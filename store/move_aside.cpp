#include "store/move_aside.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace zantor::store::detail {
namespace {

constexpr const char* kSideFiles[] = {"-wal", "-shm", "-journal"};

// rename() that fails with EEXIST rather than replace `to`. Where the file
// system cannot do that in one step, a hard link (which fails on an existing
// name too) and then the removal of the old name.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
  if (::link(from.c_str(), to.c_str()) != 0) return -1;
  return ::unlink(from.c_str());
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string MoveAside(const std::string& path, const std::string& stamp) {
  if (stamp.empty()) return {};
  const std::filesystem::path p(path);
  const std::string stem = p.stem().string() + stamp;
  const std::string extension = p.extension().string();
  for (int n = 1; n < 100; ++n) {
    // Appended piece by piece: GCC 12 at -O3 takes `"-" + std::to_string(n)`
    // for an overlapping copy and fails the build with -Werror.
    std::string name = stem;
    if (n > 1) name.append("-").append(std::to_string(n));
    name.append(extension);
    const std::string aside = (p.parent_path() / name).string();
    if (RenameNoReplace(path, aside) != 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    // Its log and journal go with it: they may hold the other program's
    // latest writes, and belong beside it under the new name.
    std::vector<const char*> moved;
    bool clash = false;
    for (const char* suffix : kSideFiles) {
      if (!Exists(path + suffix)) continue;
      if (RenameNoReplace(path + suffix, aside + suffix) != 0) {
        clash = true;
        break;
      }
      moved.push_back(suffix);
    }
    if (!clash) return aside;
    // Put back what went, so that the file and its side files stay together.
    for (const char* suffix : moved) RenameNoReplace(aside + suffix, path + suffix);
    if (RenameNoReplace(aside, path) != 0) return aside;  // cannot go back: it is there
  }
  return {};
}

}  // namespace zantor::store::detail
