#include <GL/glew.h>
#include <GL/glu.h>

#include "gfx/texture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <strings.h> // strcasecmp

#include <jpeglib.h>
#include <png.h>

#include "base/data_path.h"
#include "base/message.h"

namespace demo {

namespace {

// Sane limits for a picture header, checked before anything is allocated, so a
// corrupt or hostile size field cannot exhaust memory.
constexpr int kMaxPictureSide = 16384;
constexpr size_t kMaxPictureBytes = size_t(256) << 20;

bool pictureSizeAllowed(long width, long height, int channels) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         size_t(width) * size_t(height) * size_t(channels) <= kMaxPictureBytes;
}

std::string tooLarge(long width, long height) {
  return "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

// The smallest power of two >= n; 1 stays 1.
int powerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n)
    p <<= 1;
  return p;
}

// A problem with a picture file, said once per file under the path that was
// opened ("data/..." resolved to the data directory in use).
void report(const char *path, const std::string &what) { reportFileProblem(resolveDataPath(path), what); }

// A JPEG that cannot be opened gets the show's box, its path the caption.
void reportMissingJpeg(const std::string &file) {
  if (firstReportFor(file))
    showMessage("Unable to load JPG File!", file.c_str());
}

// Sets the pack and unpack alignment to 1 (rows of any length, no padding)
// and puts the previous values back when it goes out of scope. gluScaleImage
// reads its input with the unpack and writes its output with the pack state.
class TightPixelRows {
public:
  TightPixelRows() {
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack_);
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
  }
  ~TightPixelRows() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpack_);
    glPixelStorei(GL_PACK_ALIGNMENT, pack_);
  }
  TightPixelRows(const TightPixelRows &) = delete;
  TightPixelRows &operator=(const TightPixelRows &) = delete;

private:
  GLint unpack_ = 4;
  GLint pack_ = 4;
};

// ---- JPEG -----------------------------------------------------------------
//
// libjpeg reports fatal errors through error_exit, which by default ends the
// process. Ours jumps back into decodeJpeg instead. Everything the decoder
// touches after the setjmp lives in JpegReader, in the caller's frame, so the
// jump skips no destructor and leaves no local in an indeterminate state.

struct JpegReader {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  const char *path = "";
  char message[JMSG_LENGTH_MAX] = {};
  std::vector<JSAMPROW> rows;
};

JpegReader &readerOf(j_common_ptr cinfo) { return *static_cast<JpegReader *>(cinfo->client_data); }

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
  JpegReader &reader = readerOf(cinfo);
  (*cinfo->err->format_message)(cinfo, reader.message);
  std::longjmp(reader.jump, 1);
}

// A damaged file (cut off in its scan, a corrupt marker) is a warning to
// libjpeg: it resynchronises, or fills what is missing with grey, and decodes
// the rest. The picture loads as recovered, and the file is named once.
// Past this many warnings the data is noise, not a damaged picture.
constexpr long kMaxJpegWarnings = 10000;

void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) // trace output
    return;
  if (cinfo->err->num_warnings++ == 0) {
    JpegReader &reader = readerOf(cinfo);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    report(reader.path, std::string(text) + " (the picture is drawn as the decoder recovered it)");
  }
  if (cinfo->err->num_warnings > kMaxJpegWarnings) {
    JpegReader &reader = readerOf(cinfo);
    std::snprintf(reader.message, sizeof reader.message, "too much damaged data");
    std::longjmp(reader.jump, 1);
  }
}

// A progressive file may hold any number of scans, each a pass over the whole
// picture; a damaged or hostile one with thousands would take minutes. Real
// pictures have about ten.
constexpr int kMaxJpegScans = 500;

void jpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) {
      JpegReader &reader = readerOf(cinfo);
      std::snprintf(reader.message, sizeof reader.message, "too many scans (more than %d)", kMaxJpegScans);
      std::longjmp(reader.jump, 1);
    }
  }
}

// Decodes `file` into `image` as RGB. On failure returns false with the reason
// in reader.message; `image` may then hold partial data.
bool decodeJpeg(std::FILE *file, JpegReader &reader, JpegImage &image) {
  jpeg_decompress_struct &cinfo = reader.cinfo;
  cinfo.err = jpeg_std_error(&reader.err);
  reader.err.error_exit = jpegErrorExit;
  reader.err.emit_message = jpegEmitMessage;
  reader.progress.progress_monitor = jpegProgress;
  cinfo.client_data = &reader; // kept by jpeg_create_decompress
  if (setjmp(reader.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &reader.progress;
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  if (!pictureSizeAllowed(long(cinfo.image_width), long(cinfo.image_height), 3)) {
    std::snprintf(reader.message, sizeof reader.message, "%s",
                  tooLarge(long(cinfo.image_width), long(cinfo.image_height)).c_str());
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // Grey files are widened to RGB by libjpeg; CMYK/YCCK files cannot be and
  // end in jpeg_start_decompress with "Unsupported color conversion request".
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);

  image.width = int(cinfo.output_width);
  image.height = int(cinfo.output_height);
  image.stride = int(cinfo.output_components) * image.width;
  image.data.assign(size_t(image.stride) * size_t(image.height), 0);
  reader.rows.resize(size_t(image.height));
  for (int i = 0; i < image.height; ++i)
    reader.rows[size_t(i)] = image.data.data() + size_t(i) * size_t(image.stride);
  while (cinfo.output_scanline < cinfo.output_height) {
    JDIMENSION line = cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, reader.rows.data() + line, cinfo.output_height - line);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// ---- PNG ------------------------------------------------------------------
//
// The same arrangement as for JPEG: libpng's errors jump back into decodePngFile,
// and everything it touches after the setjmp lives in PngReader.

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string message;
  std::vector<png_bytep> rows;
};

void pngError(png_structp png, png_const_charp text) {
  static_cast<PngReader *>(png_get_error_ptr(png))->message = text ? text : "libpng error";
  png_longjmp(png, 1);
}

// Warnings (an odd colour profile, a bad ancillary chunk) leave the picture
// intact; the show does not print them.
void pngWarning(png_structp, png_const_charp) {}

bool decodePngFile(std::FILE *file, PngReader &reader, PngImage &image) {
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, pngError, pngWarning);
  if (reader.png)
    reader.info = png_create_info_struct(reader.png);
  if (!reader.png || !reader.info) {
    png_destroy_read_struct(&reader.png, &reader.info, nullptr);
    reader.message = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(reader.png))) {
    png_destroy_read_struct(&reader.png, &reader.info, nullptr);
    return false;
  }
  png_structp png = reader.png;
  png_infop info = reader.info;
  png_init_io(png, file);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(png, info);

  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
    png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_tRNS_to_alpha(png);
  if (bitDepth == 16)
    png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const long width = long(png_get_image_width(png, info));
  const long height = long(png_get_image_height(png, info));
  const int channels = png_get_channels(png, info);
  if (channels != 3 && channels != 4)
    png_error(png, "unexpected channel count after expansion");
  if (png_get_rowbytes(png, info) != size_t(width) * size_t(channels))
    png_error(png, "unexpected row size after expansion");
  if (!pictureSizeAllowed(width, height, channels)) {
    // The message is stored before the jump: no temporary may be alive when
    // the frame is left by longjmp.
    reader.message = tooLarge(width, height);
    png_longjmp(png, 1);
  }

  image.width = int(width);
  image.height = int(height);
  image.channels = channels;
  image.data.assign(size_t(width) * size_t(height) * size_t(channels), 0);
  reader.rows.resize(size_t(height));
  for (long y = 0; y < height; ++y)
    reader.rows[size_t(y)] = image.data.data() + size_t(y) * size_t(width) * size_t(channels);
  png_read_image(png, reader.rows.data());
  // Chunks after the image data do not change the picture; they are not read.
  png_destroy_read_struct(&reader.png, &reader.info, nullptr);
  return true;
}

} // namespace

// ---- decoders ---------------------------------------------------------------

JpegImage loadJpeg(const char *path) {
  JpegImage image;
  const std::string file = resolveDataPath(path);
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    reportMissingJpeg(file);
    return image;
  }
  JpegReader reader;
  reader.path = path;
  const bool ok = decodeJpeg(f, reader, image);
  std::fclose(f);
  if (!ok) {
    report(path, reader.message);
    return JpegImage();
  }
  return image;
}

PngImage decodePng(const char *path, std::string *error) {
  PngImage image;
  const std::string file = resolveDataPath(path);
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    if (error)
      *error = "cannot open";
    return image;
  }
  uint8_t signature[8] = {};
  const size_t got = std::fread(signature, 1, sizeof signature, f);
  if (pictureKind(signature, got) != PictureKind::Png) {
    std::fclose(f);
    if (error)
      *error = "not a PNG file";
    return image;
  }
  std::rewind(f);
  PngReader reader;
  const bool ok = decodePngFile(f, reader, image);
  std::fclose(f);
  if (!ok) {
    if (error)
      *error = reader.message;
    return PngImage();
  }
  return image;
}

std::vector<uint8_t> heightToNormalMap(const std::vector<uint8_t> &rgb, int width, int height) {
  if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
    return {};
  std::vector<uint8_t> normals(rgb.size());
  auto heightAt = [&](int x, int y) { return int(rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]); };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int h = heightAt(x, y);
      // The slope towards the right and the lower neighbour, moved from
      // -255..255 into 0..255 (the sum is never negative, so / 2 floors).
      const int right = heightAt((x + 1) % width, y);
      const int below = heightAt(x, (y + 1) % height);
      uint8_t *out = &normals[(size_t(y) * size_t(width) + size_t(x)) * 3];
      out[0] = uint8_t((h - right + 255) / 2);
      out[1] = uint8_t((h - below + 255) / 2);
      out[2] = 255;
    }
  }
  return normals;
}

PictureKind pictureKind(const uint8_t *bytes, size_t count) {
  static const uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!bytes)
    return PictureKind::Unknown;
  if (count >= sizeof kPngMagic && std::memcmp(bytes, kPngMagic, sizeof kPngMagic) == 0)
    return PictureKind::Png;
  if (count >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
    return PictureKind::Jpeg;
  return PictureKind::Unknown;
}

// ---- uploads ----------------------------------------------------------------

unsigned pngBind(const char *path, int wrap, int minFilter, int magFilter, int *width, int *height) {
  std::string error;
  PngImage image = decodePng(path, &error);
  if (image.empty()) {
    report(path, error);
    return 0;
  }
  const GLenum format = image.channels == 4 ? GL_RGBA : GL_RGB;
  const int texWidth = powerOfTwoAtLeast(image.width);
  const int texHeight = powerOfTwoAtLeast(image.height);

  TightPixelRows tight;
  std::vector<uint8_t> scaled;
  const uint8_t *data = image.data.data();
  if (texWidth != image.width || texHeight != image.height) {
    scaled.resize(size_t(texWidth) * size_t(texHeight) * size_t(image.channels));
    const GLint rc = gluScaleImage(format, image.width, image.height, GL_UNSIGNED_BYTE, image.data.data(),
                                   texWidth, texHeight, GL_UNSIGNED_BYTE, scaled.data());
    if (rc != 0) {
      report(path, reinterpret_cast<const char *>(gluErrorString(GLenum(rc))));
      return 0;
    }
    data = scaled.data();
  }

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  // Row 0 of the data is the picture's top row and becomes t = 0.
  const GLint rc =
      gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(format), texWidth, texHeight, format, GL_UNSIGNED_BYTE, data);
  if (rc != 0) {
    report(path, reinterpret_cast<const char *>(gluErrorString(GLenum(rc))));
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    return 0;
  }
  if (width)
    *width = image.width;
  if (height)
    *height = image.height;
  return name;
}

// ---- Texture ----------------------------------------------------------------

Texture::Texture() = default;

Texture::Texture(const char *path, int normalMap) { load(path, normalMap); }

namespace {

// The extension of the last path component, compared without case.
bool namedPng(const char *path) {
  const char *name = std::strrchr(path, '/');
  name = name ? name + 1 : path;
  const char *dot = std::strrchr(name, '.');
  return dot && strcasecmp(dot + 1, "png") == 0;
}

} // namespace

void Texture::load(const char *path, int normalMap) {
  loaded = true;
  glName = 0;
  width = 0;
  height = 0;
  pixels.clear();
  if (!path)
    return;

  const std::string file = resolveDataPath(path);
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    // Intentional: the PNG loader never showed a box; a missing JPEG did.
    if (namedPng(path))
      report(path, "cannot open");
    else
      reportMissingJpeg(file);
    return;
  }
  uint8_t signature[8] = {};
  const size_t got = std::fread(signature, 1, sizeof signature, f);
  std::fclose(f);

  switch (pictureKind(signature, got)) {
  case PictureKind::Png:
    glName = pngBind(path, GL_REPEAT, GL_LINEAR, GL_LINEAR, &width, &height);
    return;
  case PictureKind::Unknown:
    report(path, "unknown picture format");
    return;
  case PictureKind::Jpeg:
    break;
  }

  JpegImage image = loadJpeg(path);
  if (image.empty())
    return;
  if (normalMap == 1)
    image.data = heightToNormalMap(image.data, image.width, image.height);

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  GLint rc;
  {
    // Rows are 3 x width bytes without padding; any width works.
    TightPixelRows tight;
    rc = gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE,
                           image.data.data());
  }
  if (rc != 0) {
    report(path, reinterpret_cast<const char *>(gluErrorString(GLenum(rc))));
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    return;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glName = name;
  width = image.width;
  height = image.height;
  pixels = std::move(image.data);
}

void Texture::bind() {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, glName);
}

void Texture::unbind() { glDisable(GL_TEXTURE_2D); }

void Texture::bindUnit(int unit) {
  glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
  glBindTexture(GL_TEXTURE_2D, glName);
  glEnable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
}

void Texture::unbindUnit(int unit) {
  glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
  glBindTexture(GL_TEXTURE_2D, glName);
  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
}

} // namespace demo
