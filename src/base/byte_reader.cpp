#include "base/byte_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace demo {

bool readWholeFile(const std::string &path, std::vector<uint8_t> &out, std::string *reason) {
  out.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    if (reason)
      *reason = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  uint8_t buffer[65536];
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    out.insert(out.end(), buffer, buffer + n);
    if (n < sizeof buffer)
      break;
  }
  if (std::ferror(file.get()) == 0)
    return true;
  if (reason)
    *reason = std::string("cannot read: ") + std::strerror(errno);
  return false;
}

std::string temporaryNameFor(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + name + "." + std::to_string(static_cast<long>(getpid())) + ".part";
}

namespace {

// write() until every byte is out; false with errno set.
bool writeAll(int fd, const uint8_t *bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0)
        errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool setReason(std::string *reason, int error) {
  if (reason)
    *reason = std::strerror(error);
  return false;
}

} // namespace

ReservedFile::~ReservedFile() {
  if (fd_ < 0)
    return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
}

bool ReservedFile::reserve(const std::string &path, const std::vector<uint8_t> &bytes, std::string *reason) {
  path_ = path;
  temporary_ = temporaryNameFor(path);
  reserved_ = bytes.size();
  fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0)
    return setReason(reason, errno);
  if (!writeAll(fd_, bytes.data(), bytes.size())) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
    return setReason(reason, error);
  }
  return true;
}

bool ReservedFile::commit(const std::vector<uint8_t> &bytes, std::string *reason) {
  if (fd_ < 0 || bytes.size() > reserved_)
    return setReason(reason, fd_ < 0 ? EBADF : EFBIG);
  bool done = ::lseek(fd_, 0, SEEK_SET) == 0 && writeAll(fd_, bytes.data(), bytes.size()) &&
              ::ftruncate(fd_, static_cast<off_t>(bytes.size())) == 0;
  int error = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    done = false;
    error = errno;
  }
  if (!done) {
    ::unlink(temporary_.c_str());
    return setReason(reason, error);
  }
  return true;
}

bool writeWholeFile(const std::string &path, const std::vector<uint8_t> &bytes, std::string *reason) {
  auto failed = [reason](int error) { return setReason(reason, error); };
  struct stat existing {};
  const bool inPlace = ::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode);
  const std::string written = inPlace ? path : temporaryNameFor(path);
  const int fd = ::open(written.c_str(), inPlace ? O_WRONLY | O_TRUNC | O_CLOEXEC
                                                 : O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    return failed(errno);
  const bool complete = writeAll(fd, bytes.data(), bytes.size());
  const int writeError = errno;
  const bool closed = ::close(fd) == 0;
  const int closeError = errno;
  if (!complete || !closed) {
    if (!inPlace)
      ::unlink(written.c_str());
    return failed(!complete ? writeError : closeError);
  }
  if (!inPlace && ::rename(written.c_str(), path.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(written.c_str());
    return failed(renameError);
  }
  return true;
}

} // namespace demo
