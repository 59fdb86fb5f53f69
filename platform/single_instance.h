// One running copy per user: an exclusive lock on a file in a folder only the
// user can reach. The kernel drops the lock when the process ends, killed or
// not.
#pragma once

#include <string>

namespace zantor::platform {

// The lock file for `name`: $XDG_RUNTIME_DIR/<name>.lock when that folder is
// the user's own and closed to others, else <name>.lock in a folder "zantor"
// (mode 0700) of the user's cache folder; empty when there is neither.
std::string InstanceLockPath(const std::string& name);

// True when this process now holds the lock (kept until exit); false when
// another process holds it. A lock file that cannot be made, a link or a file
// of another user in its place does not stop the program: it then runs
// without the guard.
bool AcquireSingleInstance(const std::string& name);

}  // namespace zantor::platform
