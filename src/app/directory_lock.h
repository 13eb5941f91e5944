// directory_lock.h - one capture at a time in a directory of pictures.
//
// Two PNG captures into one directory would write over each other's frames,
// listing and music. A DirectoryLock holds DIR/capture.lock (with the
// holder's process id in it) under an exclusive flock() for as long as it
// lives, and removes the file at the end. The kernel lets go of a flock when
// its process dies, however it dies, so a lock file left behind by a dead
// capture is simply taken over. Creating the file is also the first write
// into the directory: a folder that cannot be written is found here, before
// anything is drawn.
//
// Use:
//   DirectoryLock lock(dir);
//   if (!lock.held()) fail(lock.error());   // one line, the reason in it
#pragma once

#include <string>

namespace demo {

class DirectoryLock {
public:
  explicit DirectoryLock(const std::string &dir);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock &) = delete;
  DirectoryLock &operator=(const DirectoryLock &) = delete;

  bool held() const { return fd_ >= 0; }
  // Why it is not held: the directory cannot be written (the system's
  // reason), or another capture holds it (with its process id).
  const std::string &error() const { return error_; }

  static constexpr const char *kFileName = "capture.lock";

private:
  std::string path_;
  std::string error_;
  int fd_ = -1;
};

} // namespace demo
