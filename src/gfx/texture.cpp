#include "gfx/texture.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <strings.h> // strcasecmp

#include <jpeglib.h>
#include <libdeflate.h>

#include "draw/draw.h"
#include "draw/image_scaling.h"
#include <png.h>

#include "base/byte_reader.h"
#include "base/data_path.h"
#include "base/message.h"

namespace demo {

namespace {

// Sane limits for a picture header, checked before anything is allocated, so a
// corrupt or hostile size field cannot exhaust memory.
constexpr int kMaxPictureSide = 16384;
constexpr size_t kMaxPictureBytes = size_t(256) << 20;

// What is wrong with a picture of this size ("" when nothing is), naming the
// limit it goes over. Sizes of 0 are left to the decoders, which refuse them.
std::string sizeProblem(long width, long height, int channels) {
  const std::string tooLarge = "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  if (width > kMaxPictureSide || height > kMaxPictureSide)
    return tooLarge + ": over the limit of " + std::to_string(kMaxPictureSide) + " pixels a side";
  if (width > 0 && height > 0 && size_t(width) * size_t(height) * size_t(channels) > kMaxPictureBytes)
    return tooLarge + ": over the limit of " + std::to_string(kMaxPictureBytes >> 20) + " MiB of pixels";
  return std::string();
}

// The smallest power of two >= n; 1 stays 1.
int powerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n)
    p <<= 1;
  return p;
}

// Texture::allocatedBytes(): a tally for memory reports, process-wide because
// textures are; nothing that draws reads it.
size_t gPictureBytes = 0;

// Adds a picture uploaded with every mipmap level at `width` x `height` (its
// level 0), at 4 bytes a texel (what drivers keep an RGB8 texel in).
void tallyMipmapped(int width, int height) {
  const draw::ImageSize size = draw::mipmapSize(width, height, draw::maxTextureSize());
  int w = size.width, h = size.height;
  while (w > 0 && h > 0) {
    gPictureBytes += size_t(w) * size_t(h) * 4;
    if (w == 1 && h == 1)
      break;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
}

// A problem with a picture file, said once per file under the path that was
// opened ("data/..." resolved to the data directory in use).
void report(const char *path, const std::string &what) { reportFileProblem(resolveDataPath(path), what); }

// A JPEG that cannot be opened gets the show's box, its path the caption; the
// standard-error line adds the system's reason (`error`, an errno value).
void reportMissingJpeg(const std::string &file, int error) {
  if (firstReportFor(file))
    showMessage("Unable to load JPG File!", file.c_str(), std::strerror(error));
}


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
  char message[JMSG_LENGTH_MAX] = {}; // the error that ended the decoding
  char warning[JMSG_LENGTH_MAX] = {}; // the first damage the decoder got past
  bool allRowsOut = false;
  std::vector<JSAMPROW> rows;
};

// How a decoding ended: the whole picture, a picture the decoder recovered
// from damage (every row is out, some may be grey or garbled), or nothing.
enum class JpegOutcome { Whole, Recovered, Failed };

JpegReader &readerOf(j_common_ptr cinfo) { return *static_cast<JpegReader *>(cinfo->client_data); }

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
  JpegReader &reader = readerOf(cinfo);
  (*cinfo->err->format_message)(cinfo, reader.message);
  std::longjmp(reader.jump, 1);
}

// A damaged file (cut off in its scan, a corrupt marker) is a warning to
// libjpeg: it resynchronises, or fills what is missing with grey, and decodes
// the rest. The first warning is kept for the one line that names the file,
// written once the decoding has ended and it is known whether the picture is
// drawn. Past this many warnings the data is noise, not a damaged picture.
constexpr long kMaxJpegWarnings = 10000;

void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) // trace output
    return;
  if (cinfo->err->num_warnings++ == 0)
    (*cinfo->err->format_message)(cinfo, readerOf(cinfo).warning);
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

// Decodes `file` into `image` as RGB. On failure the reason is in
// reader.message and `image` may hold partial data.
JpegOutcome decodeJpeg(std::FILE *file, JpegReader &reader, JpegImage &image) {
  jpeg_decompress_struct &cinfo = reader.cinfo;
  cinfo.err = jpeg_std_error(&reader.err);
  reader.err.error_exit = jpegErrorExit;
  reader.err.emit_message = jpegEmitMessage;
  reader.progress.progress_monitor = jpegProgress;
  cinfo.client_data = &reader; // kept by jpeg_create_decompress
  if (setjmp(reader.jump)) {
    jpeg_destroy_decompress(&cinfo);
    // An error after the last row (damage that left a broken marker behind
    // the scan, read by jpeg_finish_decompress) takes nothing from the
    // picture: it is drawn as recovered. Before that, rows are missing.
    return reader.allRowsOut ? JpegOutcome::Recovered : JpegOutcome::Failed;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &reader.progress;
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  // (No std::string may live in this frame across a call that can jump.)
  std::snprintf(reader.message, sizeof reader.message, "%s",
                sizeProblem(long(cinfo.image_width), long(cinfo.image_height), 3).c_str());
  if (reader.message[0]) {
    jpeg_destroy_decompress(&cinfo);
    return JpegOutcome::Failed;
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
  reader.allRowsOut = true;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return reader.err.num_warnings > 0 ? JpegOutcome::Recovered : JpegOutcome::Whole;
}

// ---- PNG ------------------------------------------------------------------
//
// The same arrangement as for JPEG: libpng's errors jump back into
// decodePngBytes, and everything it touches after the setjmp lives in
// PngReader. libpng reads the file from memory, so that the reader sees how
// far it has got when it fails.
//
// Damage in the image data keeps the rows above it. libpng decodes the rows
// one by one and stops at the first that fails (a broken filter byte, data
// that does not inflate, the end of a cut file); every row before it is kept.
// Scrambled bytes usually fail within a row or two, so a row or two of noise
// can come before the stop. But scrambled data can also inflate without fault
// to the end of its chunk, where only a checksum (the chunk's, or zlib's at
// the end of the data) tells: libpng has then decoded every row of the chunk,
// noise included, and where the damage begins is unknown. So when libpng has
// read all the data of a chunk whose checksum is wrong before it stops, the
// rows decoded from that chunk are dropped again (rowsBeforeBadChunk).

// libpng reads image data in blocks of this many bytes (8 KiB by default):
// the smaller the block, the nearer the end of a damaged chunk a stop must be
// to count as having read all of it.
constexpr size_t kPngReadBlock = 1024;

// Where the first image data chunk (IDAT) with a wrong checksum lies in the
// file; none when every checksum is right.
struct BadChunk {
  size_t dataAt = SIZE_MAX;  // its first byte of data
  size_t dataEnd = SIZE_MAX; // the byte after its data (its checksum follows)
};

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string message;
  std::vector<png_bytep> rows;
  const uint8_t *bytes = nullptr; // the file
  size_t size = 0;
  size_t at = 0;       // how much of it libpng has read
  bool ranOut = false; // libpng asked for more than the file has
  bool interlaced = false;
  bool readingRows = false;
  int rowsDone = 0; // complete rows at the top of the picture
  BadChunk badChunk;
  int rowsBeforeBadChunk = -1; // rowsDone when libpng first read into the bad chunk's data
};

// How a decoding ended: the whole picture, one whose image data is damaged
// (rowsDone rows from the top decoded, the rest zero), or nothing.
enum class PngOutcome { Whole, Damaged, Failed };

void pngError(png_structp png, png_const_charp text) {
  static_cast<PngReader *>(png_get_error_ptr(png))->message = text ? text : "libpng error";
  png_longjmp(png, 1);
}

// Warnings (an odd colour profile, a bad ancillary chunk) leave the picture
// intact; the show does not print them.
void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, size_t count) {
  PngReader &reader = *static_cast<PngReader *>(png_get_io_ptr(png));
  if (reader.rowsBeforeBadChunk < 0 && reader.at + count > reader.badChunk.dataAt)
    reader.rowsBeforeBadChunk = reader.rowsDone;
  if (count > reader.size - reader.at) {
    reader.ranOut = true;
    png_error(png, "the file ends early");
  }
  std::memcpy(out, reader.bytes + reader.at, count);
  reader.at += count;
}

uint32_t bigEndian32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Walks the chunks of a PNG file: finds the first image data chunk whose
// checksum is wrong, and makes a file cut off inside an image data chunk fit
// to decode as far as it goes. libpng reads a chunk's data in large blocks
// and fails on a block that the file cuts short, losing the rows in it; so
// the chunk's length is set to what is left of it (which is intact), and
// libpng runs out only where its checksum should be.
BadChunk checkChunks(std::vector<uint8_t> &file) {
  size_t at = 8; // the signature
  while (file.size() - at >= 12) {
    const size_t length = bigEndian32(&file[at]);
    const uint8_t *type = &file[at + 4];
    const bool imageData = std::memcmp(type, "IDAT", 4) == 0;
    if (length > file.size() - at - 12) {
      if (imageData && length <= size_t(0x7FFFFFFF)) {
        const uint32_t left = uint32_t(file.size() - at - 8);
        const uint8_t patched[4] = {uint8_t(left >> 24), uint8_t(left >> 16), uint8_t(left >> 8), uint8_t(left)};
        std::memcpy(&file[at], patched, 4);
      }
      break;
    }
    if (imageData && libdeflate_crc32(0, type, length + 4) != bigEndian32(type + 4 + length))
      return BadChunk{at + 8, at + 8 + length};
    at += 12 + length;
  }
  return BadChunk();
}

// The size in a PNG file's header, checked against the limits before libpng
// reads it (libpng would refuse a side over its own limit as "Invalid IHDR
// data", without saying that it is the size). "" when there is no problem or
// no header to read.
std::string headerSizeProblem(const std::vector<uint8_t> &file) {
  if (file.size() < 24 || std::memcmp(&file[12], "IHDR", 4) != 0)
    return std::string();
  return sizeProblem(long(bigEndian32(&file[16])), long(bigEndian32(&file[20])), 3);
}

PngOutcome decodePngBytes(PngReader &reader, PngImage &image) {
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, pngError, pngWarning);
  if (reader.png)
    reader.info = png_create_info_struct(reader.png);
  if (!reader.png || !reader.info) {
    png_destroy_read_struct(&reader.png, &reader.info, nullptr);
    reader.message = "out of memory";
    return PngOutcome::Failed;
  }
  if (setjmp(png_jmpbuf(reader.png))) {
    png_destroy_read_struct(&reader.png, &reader.info, nullptr);
    if (!reader.readingRows)
      return PngOutcome::Failed;
    // libpng read all of a scrambled chunk before it stopped: what it decoded
    // from the chunk cannot be told from noise.
    if (reader.rowsBeforeBadChunk >= 0 && reader.at >= reader.badChunk.dataEnd)
      reader.rowsDone = std::min(reader.rowsDone, reader.rowsBeforeBadChunk);
    // The rows above the damage stay, the rest is zero (transparent where
    // the picture has alpha, black where it has none).
    const size_t rowBytes = size_t(image.width) * size_t(image.channels);
    std::fill(image.data.begin() + std::ptrdiff_t(size_t(reader.rowsDone) * rowBytes), image.data.end(), 0);
    return PngOutcome::Damaged;
  }
  png_structp png = reader.png;
  png_infop info = reader.info;
  png_set_read_fn(png, &reader, pngRead);
  png_set_compression_buffer_size(png, kPngReadBlock);
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
  reader.interlaced = png_set_interlace_handling(png) > 1;
  png_read_update_info(png, info);

  const long width = long(png_get_image_width(png, info));
  const long height = long(png_get_image_height(png, info));
  const int channels = png_get_channels(png, info);
  if (channels != 3 && channels != 4)
    png_error(png, "unexpected channel count after expansion");
  if (png_get_rowbytes(png, info) != size_t(width) * size_t(channels))
    png_error(png, "unexpected row size after expansion");
  // The message is stored before the jump: no temporary may be alive when
  // the frame is left by longjmp.
  reader.message = sizeProblem(width, height, channels);
  if (!reader.message.empty())
    png_longjmp(png, 1);

  image.width = int(width);
  image.height = int(height);
  image.channels = channels;
  image.data.assign(size_t(width) * size_t(height) * size_t(channels), 0);
  reader.rows.resize(size_t(height));
  for (long y = 0; y < height; ++y)
    reader.rows[size_t(y)] = image.data.data() + size_t(y) * size_t(width) * size_t(channels);
  reader.readingRows = true;
  if (reader.interlaced) {
    // Every pass touches rows all over the picture: no row is complete
    // before the last pass, so damage anywhere leaves rowsDone at 0.
    png_read_image(png, reader.rows.data());
  } else {
    for (long y = 0; y < height; ++y) {
      png_read_row(png, reader.rows[size_t(y)], nullptr);
      reader.rowsDone = int(y + 1);
    }
  }
  // Chunks after the image data do not change the picture; they are not read.
  png_destroy_read_struct(&reader.png, &reader.info, nullptr);
  return PngOutcome::Whole;
}

// The line for a picture whose image data is damaged, in the words a person
// looking at the show needs: from which row it is missing and what is there
// instead.
std::string damageLine(const PngReader &reader, const PngImage &image, bool cutOff) {
  const std::string instead = image.channels == 4 ? "transparent" : "black";
  const std::string cause = cutOff ? "the file is cut off" : "its image data is broken";
  if (reader.interlaced)
    return "the picture is damaged in its image data (" + cause + "); it is interlaced, so no row of it is " +
           "complete, and all of it is left " + instead;
  const std::string line = "the picture is damaged from row " + std::to_string(reader.rowsDone + 1) + " of " +
                           std::to_string(image.height) + " (" + cause + " there); ";
  if (reader.rowsDone == 0)
    return line + "none of it can be drawn, it is left " + instead;
  return line + "the rows above it are drawn, the rest is " + instead;
}

} // namespace

// ---- decoders ---------------------------------------------------------------

JpegImage loadJpeg(const char *path) {
  JpegImage image;
  const std::string file = resolveDataPath(path);
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    reportMissingJpeg(file, errno);
    return image;
  }
  JpegReader reader;
  const JpegOutcome outcome = decodeJpeg(f, reader, image);
  std::fclose(f);
  switch (outcome) {
  case JpegOutcome::Whole:
    break;
  case JpegOutcome::Recovered:
    // The first damage is the one to name; an error after the last row
    // stands alone when nothing came before it.
    report(path, std::string(reader.warning[0] ? reader.warning : reader.message) +
                     " (the picture is drawn as the decoder recovered it)");
    break;
  case JpegOutcome::Failed:
    report(path, reader.message);
    return JpegImage();
  }
  return image;
}

PngImage decodePng(const char *path, std::string *error) {
  PngImage image;
  auto fail = [&](const std::string &why) {
    if (error)
      *error = why;
    return PngImage();
  };
  const std::string file = resolveDataPath(path);
  std::vector<uint8_t> bytes;
  std::string unread;
  if (!readWholeFile(file, bytes, &unread))
    return fail(unread);
  if (pictureKind(bytes.data(), bytes.size()) != PictureKind::Png)
    return fail("not a PNG file");
  const std::string tooLarge = headerSizeProblem(bytes);
  if (!tooLarge.empty())
    return fail(tooLarge);

  PngReader reader;
  reader.bytes = bytes.data();
  reader.badChunk = checkChunks(bytes);
  reader.size = bytes.size();
  switch (decodePngBytes(reader, image)) {
  case PngOutcome::Whole:
    break;
  case PngOutcome::Damaged:
    image.damage = damageLine(reader, image, reader.ranOut);
    break;
  case PngOutcome::Failed:
    return fail(reader.ranOut ? "the file is cut off before its image data" : reader.message);
  }
  return image;
}

std::vector<uint8_t> heightToNormalMap(const std::vector<uint8_t> &rgb, int width, int height, int detail) {
  if (width <= 0 || height <= 0 || detail <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
    return {};
  std::vector<uint8_t> normals(rgb.size());
  auto heightAt = [&](int x, int y) { return int(rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]); };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int h = heightAt(x, y);
      // The slope towards the right and the lower neighbour, moved from
      // -255..255 into 0..255 (the sum is never negative, so / 2 floors).
      // The neighbours are one base pixel away, `detail` pixels of a finer
      // map, so its bumps are as steep as the base map's.
      const int right = heightAt((x + detail) % width, y);
      const int below = heightAt(x, (y + detail) % height);
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

unsigned pngBind(const char *path, draw::TextureValue wrap, draw::TextureValue minFilter,
                 draw::TextureValue magFilter, int *width, int *height) {
  std::string error;
  PngImage image = decodePng(path, &error);
  if (image.empty()) {
    report(path, error);
    return 0;
  }
  if (!image.damage.empty())
    report(path, image.damage);
  const draw::PixelFormat format = image.channels == 4 ? draw::PixelFormat::Rgba : draw::PixelFormat::Rgb;
  const int texWidth = powerOfTwoAtLeast(image.width);
  const int texHeight = powerOfTwoAtLeast(image.height);

  std::vector<uint8_t> scaled;
  const uint8_t *data = image.data.data();
  if (texWidth != image.width || texHeight != image.height) {
    scaled = draw::scaleImage(image.data.data(), image.width, image.height, image.channels, texWidth, texHeight);
    data = scaled.data();
  }

  const unsigned name = draw::createTexture();
  draw::textureParameter(draw::TextureParam::WrapS, wrap);
  draw::textureParameter(draw::TextureParam::WrapT, wrap);
  draw::textureParameter(draw::TextureParam::MinFilter, minFilter);
  draw::textureParameter(draw::TextureParam::MagFilter, magFilter);
  // Row 0 of the data is the picture's top row and becomes t = 0.
  draw::textureMipmapped(format, texWidth, texHeight, data);
  tallyMipmapped(texWidth, texHeight);
  if (width)
    *width = image.width;
  if (height)
    *height = image.height;
  return name;
}

size_t Texture::allocatedBytes() { return gPictureBytes; }

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

namespace {

// A picture of the data set whose size is not its base size times the set's
// detail is reported like any other wrong file. It is drawn as it is: at the
// detail its size says when that is 1, 2 or 4 times its base size (a picture
// from another set lands where it belongs), else at the set's. Returns the
// detail to draw it at.
int checkDetailSize(const char *path, int width, int height, int detail) {
  if (std::strncmp(path, "data/", 5) != 0 || width <= 0)
    return detail;
  const PictureSize base = dataSetPictureSize(path + 5);
  if (base.width == 0 || (width == base.width * detail && height == base.height * detail))
    return detail;
  report(path, "the picture is " + std::to_string(width) + " x " + std::to_string(height) + "; in a detail-" +
                   std::to_string(detail) + " data set it is " + std::to_string(base.width * detail) + " x " +
                   std::to_string(base.height * detail));
  for (int own : {1, 2, 4})
    if (width == base.width * own && height == base.height * own)
      return own;
  return detail;
}

} // namespace

void Texture::load(const char *path, int normalMap) {
  loaded = true;
  textureId = 0;
  width = 0;
  height = 0;
  detail = 1;
  pixels.clear();
  if (!path)
    return;
  if (std::strncmp(path, "data/", 5) == 0)
    detail = dataDetail();

  const std::string file = resolveDataPath(path);
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (!f) {
    const int openError = errno;
    // Intentional: the PNG loader never showed a box; a missing JPEG did.
    if (namedPng(path))
      report(path, std::string("cannot open: ") + std::strerror(openError));
    else
      reportMissingJpeg(file, openError);
    return;
  }
  uint8_t signature[8] = {};
  const size_t got = std::fread(signature, 1, sizeof signature, f);
  std::fclose(f);

  switch (pictureKind(signature, got)) {
  case PictureKind::Png:
    textureId = pngBind(path, draw::TextureValue::Repeat, draw::TextureValue::Linear, draw::TextureValue::Linear, &width,
                     &height);
    detail = checkDetailSize(path, width, height, detail);
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
  detail = checkDetailSize(path, image.width, image.height, detail);
  if (normalMap == 1)
    image.data = heightToNormalMap(image.data, image.width, image.height, detail);

  const unsigned name = draw::createTexture();
  // Rows are 3 x width bytes without padding; any width works.
  draw::textureMipmapped(draw::PixelFormat::Rgb, image.width, image.height, image.data.data());
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::LinearMipmapNearest);
  draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Linear);
  tallyMipmapped(image.width, image.height);
  textureId = name;
  width = image.width;
  height = image.height;
  pixels = std::move(image.data);
}

void Texture::bind() {
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(textureId);
}

void Texture::unbind() { draw::disable(draw::Cap::Texture2D); }

void Texture::bindUnit(int unit) {
  draw::activeTexture(unit);
  draw::bindTexture(textureId);
  draw::enable(draw::Cap::Texture2D);
  draw::activeTexture(0);
}

void Texture::unbindUnit(int unit) {
  draw::activeTexture(unit);
  draw::bindTexture(textureId);
  draw::disable(draw::Cap::Texture2D);
  draw::activeTexture(0);
}

} // namespace demo
