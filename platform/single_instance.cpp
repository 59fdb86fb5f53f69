#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zantor::platform {

std::string InstanceLockPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0' && access(runtime, W_OK) == 0) {
    return std::string(runtime) + "/" + name + ".lock";
  }
  return "/tmp/" + name + "-" + std::to_string(getuid()) + ".lock";
}

bool AcquireSingleInstance(const std::string& name) {
  const int fd = open(InstanceLockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open until exit
  const bool held = errno == EWOULDBLOCK;
  close(fd);
  return !held;
}

}  // namespace zantor::platform
