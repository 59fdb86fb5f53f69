// One running copy per user: an exclusive lock on a file in the runtime
// directory. The kernel drops the lock when the process ends, killed or not.
#pragma once

#include <string>

namespace zantor::platform {

// The lock file for `name`: $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>-<uid>.lock.
std::string InstanceLockPath(const std::string& name);

// True when this process now holds the lock (kept until exit); false when
// another process holds it. A lock file that cannot be created does not stop
// the program: it then runs without the guard.
bool AcquireSingleInstance(const std::string& name);

}  // namespace zantor::platform
