// One running copy per user: an exclusive lock on a file in a folder only the
// user can reach. The kernel drops the lock when the process ends, killed or
// not.
#pragma once

#include <functional>
#include <string>

class QObject;

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

// The socket a later start rings, beside the lock file; empty when the lock
// has no place.
std::string InstanceSocketPath(const std::string& name);

// For the process that holds the lock: every later start that rings calls
// `rung` (in the event loop) for as long as `owner` lives. A socket left by a
// copy that ended is replaced: only the lock's holder may do so.
void ListenForLaterStarts(const std::string& name, QObject* owner, std::function<void()> rung);

// For a later start: rings the running copy; false when it cannot be reached.
bool RingRunningInstance(const std::string& name);

}  // namespace zantor::platform
