// png_fuzz: the PNG decoder behind every PNG texture, on arbitrary bytes.
//
// decodePng reads from a path only, so each input goes through a scratch file
// of this process (in /dev/shm, else $TMPDIR, else /tmp). A decoded picture
// must be what the decoder promises: a positive size, 3 or 4 channels and
// exactly width x height x channels bytes; a failure must say why.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/texture.h"

namespace {

[[noreturn]] void broken(const char *promise) {
  std::fprintf(stderr, "png_fuzz: broken promise: %s\n", promise);
  std::abort();
}

// Never destroyed: removeScratch runs at exit, after static destructors that
// were registered later.
const std::string &scratchPath() {
  static const std::string &path = *new std::string([] {
    const char *tmp = std::getenv("TMPDIR");
    const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
    return dir + "/png_fuzz_" + std::to_string(getpid()) + ".png";
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
  std::string error;
  const demo::PngImage image = demo::decodePng(scratchPath().c_str(), &error);
  if (image.empty()) {
    if (error.empty())
      broken("a failure says why");
    return 0;
  }
  if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4) ||
      image.data.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                               static_cast<size_t>(image.channels))
    broken("a decoded picture is width x height x 3 or 4 bytes");
  return 0;
}
