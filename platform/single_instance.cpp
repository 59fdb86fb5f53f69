#include "platform/single_instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>

namespace zantor::platform {
namespace {

// A folder only this user can reach: a real folder (no link), the user's
// own, that nobody else may write to.
bool Private(const std::string& dir) {
  struct stat st {};
  return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  const passwd* pw = getpwuid(getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

// The user's cache folder, and in it a folder of ours, made 0700.
std::string PrivateCacheDir() {
  std::string cache;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') {
    cache = xdg;
  } else if (const std::string home = HomeDir(); !home.empty()) {
    cache = home + "/.cache";
    mkdir(cache.c_str(), 0700);
  } else {
    return {};
  }
  const std::string dir = cache + "/zantor";
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return Private(dir) ? dir : std::string();
}

}  // namespace

std::string InstanceLockPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' && Private(runtime)) {
    return std::string(runtime) + "/" + name + ".lock";
  }
  const std::string dir = PrivateCacheDir();
  return dir.empty() ? std::string() : dir + "/" + name + ".lock";
}

bool AcquireSingleInstance(const std::string& name) {
  const std::string path = InstanceLockPath(name);
  if (path.empty()) return true;
  // Never through a link, and only a file of the user's own: what someone
  // else put there can neither stop the start nor be written to.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return true;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    close(fd);
    return true;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open until exit
  const bool held = errno == EWOULDBLOCK;
  close(fd);
  return !held;
}

std::string InstanceSocketPath(const std::string& name) {
  std::string path = InstanceLockPath(name);
  if (path.empty()) return path;
  path.replace(path.size() - 5, 5, ".sock");
  return path;
}

void ListenForLaterStarts(const std::string& name, QObject* owner, std::function<void()> rung) {
  const QString path = QString::fromStdString(InstanceSocketPath(name));
  if (path.isEmpty()) return;
  QLocalServer::removeServer(path);
  auto* server = new QLocalServer(owner);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(path)) {
    delete server;
    return;
  }
  QObject::connect(server, &QLocalServer::newConnection, server, [server, rung] {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, rung] {
        peer->readAll();
        rung();
      });
    }
  });
}

bool RingRunningInstance(const std::string& name) {
  const QString path = QString::fromStdString(InstanceSocketPath(name));
  if (path.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(2000)) return false;
  socket.write("1", 1);
  const bool sent = socket.waitForBytesWritten(2000);
  socket.disconnectFromServer();
  return sent;
}

}  // namespace zantor::platform
