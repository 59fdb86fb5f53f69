// Renaming a file that clearing must not delete out of the way, with its
// side files. Internal to the store.
#pragma once

#include <string>

namespace zantor::store::detail {

// Renames `path` and its -wal, -shm and -journal to a free name in the same
// folder, its stem with `stamp` added (QorvelDb-20240131-235959.db, then
// ...-2.db and on). Never replaces a file that is there: each name is taken
// by a rename that fails on an existing one, and should a side file's name be
// taken, everything is put back and the next name tried. The new path, or ""
// when the file stays where it was.
std::string MoveAside(const std::string& path, const std::string& stamp);

}  // namespace zantor::store::detail
