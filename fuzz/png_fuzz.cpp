// png_fuzz: the PNG decoder behind every PNG texture, on arbitrary bytes.
//
// decodePng reads from a path only, so each input goes through a scratch file
// of this process (in /dev/shm, else $TMPDIR, else /tmp). A decoded picture
// must be what the decoder promises: a positive size, 3 or 4 channels and
// exactly width x height x channels bytes; a failure must say why.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/texture.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  demo::fuzz::initScratch("png_fuzz", ".png");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!demo::fuzz::writeScratch(data, size))
    return 0;
  std::string error;
  const demo::PngImage image = demo::decodePng(demo::fuzz::scratchPath().c_str(), &error);
  if (image.empty()) {
    if (error.empty())
      demo::fuzz::broken("a failure says why");
    return 0;
  }
  if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4) ||
      image.data.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                               static_cast<size_t>(image.channels))
    demo::fuzz::broken("a decoded picture is width x height x 3 or 4 bytes");
  return 0;
}
