#include "app/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace demo {

DirectoryLock::DirectoryLock(const std::string &dir) : path_(dir + "/" + kFileName) {
  // The holder removes the file before letting go; one that opened it just
  // before may then lock a file no longer in the directory, so it checks
  // that the name still leads to what it locked, and tries again if not.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      error_ = "cannot write into " + dir + ": " + std::strerror(errno);
      return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      char holder[32] = {};
      const ssize_t n = ::pread(fd, holder, sizeof holder - 1, 0);
      ::close(fd);
      if (reason != EWOULDBLOCK) {
        error_ = "cannot lock " + path_ + ": " + std::strerror(reason);
        return;
      }
      const std::string pid = n > 0 ? std::string(holder, static_cast<size_t>(n)) : std::string();
      error_ = "another capture is writing into " + dir +
               (pid.empty() ? std::string() : " (process " + pid + ")") +
               "; wait for it to end, or capture into another directory";
      return;
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) != 0 || ::stat(path_.c_str(), &named) != 0 || locked.st_ino != named.st_ino ||
        locked.st_dev != named.st_dev) {
      ::close(fd);
      continue;
    }
    const std::string pid = std::to_string(static_cast<long>(::getpid()));
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
      error_ = "cannot write into " + dir + ": " + std::strerror(errno);
      ::unlink(path_.c_str());
      ::close(fd);
      return;
    }
    fd_ = fd;
    return;
  }
  error_ = "cannot lock " + path_ + ": it keeps being replaced";
}

DirectoryLock::~DirectoryLock() {
  if (fd_ < 0)
    return;
  ::unlink(path_.c_str());
  ::close(fd_);
}

} // namespace demo
