#include "support/picture_writer.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

namespace demo::test {

namespace {

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_bytep> rows;
  std::vector<png_color> palette;
};

void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngQuiet(png_structp, png_const_charp) {}

// Everything touched after setjmp lives in `w`, in the caller's frame.
bool encodePng(std::FILE *f, const PngLayout &layout, PngWriter &w) {
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
  if (w.png)
    w.info = png_create_info_struct(w.png);
  if (!w.png || !w.info) {
    png_destroy_write_struct(&w.png, &w.info);
    return false;
  }
  if (setjmp(png_jmpbuf(w.png))) {
    png_destroy_write_struct(&w.png, &w.info);
    return false;
  }
  png_init_io(w.png, f);
  png_set_IHDR(w.png, w.info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth,
               layout.colorType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!layout.palette.empty()) {
    for (size_t i = 0; i + 2 < layout.palette.size(); i += 3)
      w.palette.push_back(png_color{layout.palette[i], layout.palette[i + 1], layout.palette[i + 2]});
    png_set_PLTE(w.png, w.info, w.palette.data(), int(w.palette.size()));
  }
  if (!layout.paletteAlpha.empty())
    png_set_tRNS(w.png, w.info, layout.paletteAlpha.data(), int(layout.paletteAlpha.size()), nullptr);
  if (layout.transparentColour) {
    png_color_16 colour{};
    colour.gray = layout.transparent[0];
    colour.red = layout.transparent[0];
    colour.green = layout.transparent[1];
    colour.blue = layout.transparent[2];
    png_set_tRNS(w.png, w.info, nullptr, 0, &colour);
  }
  const int channels = layout.colorType == 0 || layout.colorType == 3 ? 1
                       : layout.colorType == 4                        ? 2
                       : layout.colorType == 2                        ? 3
                                                                      : 4;
  const size_t rowBytes = (size_t(layout.width) * size_t(channels) * size_t(layout.bitDepth) + 7) / 8;
  if (layout.rows.size() != rowBytes * size_t(layout.height))
    png_longjmp(w.png, 1);
  for (int y = 0; y < layout.height; ++y)
    w.rows.push_back(const_cast<png_bytep>(layout.rows.data() + size_t(y) * rowBytes));
  png_set_rows(w.png, w.info, w.rows.data());
  png_write_png(w.png, w.info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&w.png, &w.info);
  return true;
}

struct JpegWriter {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  std::jmp_buf jump{};
};

[[noreturn]] void jpegFail(j_common_ptr cinfo) {
  std::longjmp(static_cast<JpegWriter *>(cinfo->client_data)->jump, 1);
}

bool encodeJpeg(std::FILE *f, int width, int height, int components, const std::vector<uint8_t> &pixels,
                int quality, JpegWriter &w) {
  w.cinfo.err = jpeg_std_error(&w.err);
  w.err.error_exit = jpegFail;
  w.cinfo.client_data = &w;
  if (setjmp(w.jump)) {
    jpeg_destroy_compress(&w.cinfo);
    return false;
  }
  jpeg_create_compress(&w.cinfo); // keeps err and client_data
  jpeg_stdio_dest(&w.cinfo, f);
  w.cinfo.image_width = JDIMENSION(width);
  w.cinfo.image_height = JDIMENSION(height);
  w.cinfo.input_components = components;
  w.cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&w.cinfo);
  jpeg_set_quality(&w.cinfo, quality, TRUE);
  for (int c = 0; c < w.cinfo.num_components; ++c) {
    w.cinfo.comp_info[c].h_samp_factor = 1;
    w.cinfo.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&w.cinfo, TRUE);
  const size_t stride = size_t(width) * size_t(components);
  while (w.cinfo.next_scanline < w.cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(w.cinfo.next_scanline) * stride);
    jpeg_write_scanlines(&w.cinfo, &row, 1);
  }
  jpeg_finish_compress(&w.cinfo);
  jpeg_destroy_compress(&w.cinfo);
  return true;
}

uint32_t crc32(const uint8_t *data, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < count; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void putBigEndian32(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

} // namespace

bool writePng(const std::string &path, const PngLayout &layout) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  PngWriter w;
  const bool ok = encodePng(f, layout, w);
  return std::fclose(f) == 0 && ok;
}

bool writePng(const std::string &path, int width, int height, int channels,
              const std::vector<uint8_t> &pixels) {
  PngLayout layout;
  layout.width = width;
  layout.height = height;
  layout.colorType = channels == 4 ? 6 : 2;
  layout.rows = pixels;
  return writePng(path, layout);
}

bool writeJpeg(const std::string &path, int width, int height, int components,
               const std::vector<uint8_t> &pixels, int quality) {
  if (pixels.size() != size_t(width) * size_t(height) * size_t(components))
    return false;
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  JpegWriter w;
  const bool ok = encodeJpeg(f, width, height, components, pixels, quality, w);
  return std::fclose(f) == 0 && ok;
}

void setPngHeaderSize(std::vector<uint8_t> &png, uint32_t width, uint32_t height) {
  // Signature (8), IHDR length (4), "IHDR" (4), width, height, 5 more bytes, CRC.
  if (png.size() < 33)
    return;
  putBigEndian32(&png[16], width);
  putBigEndian32(&png[20], height);
  putBigEndian32(&png[29], crc32(&png[12], 17));
}

void setJpegHeaderSize(std::vector<uint8_t> &jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      // FF C0, length (2), precision (1), height (2), width (2)
      jpeg[i + 5] = uint8_t(height >> 8);
      jpeg[i + 6] = uint8_t(height);
      jpeg[i + 7] = uint8_t(width >> 8);
      jpeg[i + 8] = uint8_t(width);
      return;
    }
  }
}

} // namespace demo::test
