// scratch_file.h - what the fuzz targets of path-only loaders share: each
// input goes through one scratch file of the process (in /dev/shm, else
// $TMPDIR, else /tmp), removed at exit, and a broken promise aborts with the
// target's name so libFuzzer keeps the input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace demo::fuzz {

inline const char *&targetName() {
  static const char *name = "fuzz";
  return name;
}

// Never destroyed: the exit handler runs after static destructors that were
// registered later.
inline std::string &scratchPath() {
  static std::string &path = *new std::string();
  return path;
}

// Call once from LLVMFuzzerInitialize: names the scratch file after the
// target and removes it at exit.
inline void initScratch(const char *target, const char *extension) {
  targetName() = target;
  const char *tmp = std::getenv("TMPDIR");
  const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
  scratchPath() = dir + "/" + target + "_" + std::to_string(getpid()) + extension;
  std::atexit([] { std::remove(scratchPath().c_str()); });
}

inline bool writeScratch(const uint8_t *data, size_t size) {
  std::FILE *f = std::fopen(scratchPath().c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

[[noreturn]] inline void broken(const char *promise) {
  std::fprintf(stderr, "%s: broken promise: %s\n", targetName(), promise);
  std::abort();
}

} // namespace demo::fuzz
