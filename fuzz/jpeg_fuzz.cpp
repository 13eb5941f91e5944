// jpeg_fuzz: the JPEG decoder behind every JPEG texture, on arbitrary bytes.
//
// loadJpeg reads from a path only, so each input goes through a scratch file
// of this process (in /dev/shm, else $TMPDIR, else /tmp). libjpeg's fatal
// errors must come back as an empty picture (the decoder's own error exit),
// never end the process; a decoded picture is RGB, width x height x 3 bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/texture.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  demo::fuzz::initScratch("jpeg_fuzz", ".jpg");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!demo::fuzz::writeScratch(data, size))
    return 0;
  const demo::JpegImage image = demo::loadJpeg(demo::fuzz::scratchPath().c_str());
  if (image.empty())
    return 0;
  if (image.width <= 0 || image.height <= 0 || image.stride != 3 * image.width ||
      image.data.size() != static_cast<size_t>(image.stride) * static_cast<size_t>(image.height))
    demo::fuzz::broken("a decoded picture is RGB, width x height x 3 bytes");
  return 0;
}
