// jpeg_fuzz: the JPEG decoder behind every JPEG texture, on arbitrary bytes.
//
// loadJpeg reads from a path only, so each input goes through a scratch file
// of this process (in /dev/shm, else $TMPDIR, else /tmp). libjpeg's fatal
// errors must come back as an empty picture (the decoder's own error exit),
// never end the process; a decoded picture is RGB, width x height x 3 bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/texture.h"

namespace {

[[noreturn]] void broken(const char *promise) {
  std::fprintf(stderr, "jpeg_fuzz: broken promise: %s\n", promise);
  std::abort();
}

// Never destroyed: removeScratch runs at exit, after static destructors that
// were registered later.
const std::string &scratchPath() {
  static const std::string &path = *new std::string([] {
    const char *tmp = std::getenv("TMPDIR");
    const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
    return dir + "/jpeg_fuzz_" + std::to_string(getpid()) + ".jpg";
  }());
  return path;
}

void removeScratch() { std::remove(scratchPath().c_str()); }

bool writeScratch(const uint8_t *data, size_t size) {
  std::FILE *f = std::fopen(scratchPath().c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  std::atexit(removeScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!writeScratch(data, size))
    return 0;
  const demo::JpegImage image = demo::loadJpeg(scratchPath().c_str());
  if (image.empty())
    return 0;
  if (image.width <= 0 || image.height <= 0 || image.stride != 3 * image.width ||
      image.data.size() != static_cast<size_t>(image.stride) * static_cast<size_t>(image.height))
    broken("a decoded picture is RGB, width x height x 3 bytes");
  return 0;
}
