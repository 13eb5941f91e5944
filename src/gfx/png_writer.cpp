#include "gfx/png_writer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/byte_reader.h"

namespace demo {

namespace {

// PNG's filter types.
enum : uint8_t { kFilterNone = 0, kFilterSub = 1, kFilterUp = 2, kFilterAverage = 3, kFilterPaeth = 4 };

uint8_t paethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc)
    return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// One row filtered with `type` into out[0..n): each byte minus its prediction
// from the byte one pixel to the left (a), the one above (b) and the one above
// that left neighbour (c); outside the picture they are 0.
void filterRow(uint8_t type, const uint8_t *row, const uint8_t *above, size_t n, size_t bpp, uint8_t *out) {
  auto left = [&](const uint8_t *bytes, size_t i) { return i >= bpp ? bytes[i - bpp] : 0; };
  switch (type) {
  case kFilterSub:
    for (size_t i = 0; i < n; ++i)
      out[i] = static_cast<uint8_t>(row[i] - left(row, i));
    break;
  case kFilterUp:
    for (size_t i = 0; i < n; ++i)
      out[i] = static_cast<uint8_t>(row[i] - above[i]);
    break;
  case kFilterAverage:
    for (size_t i = 0; i < n; ++i)
      out[i] = static_cast<uint8_t>(row[i] - (left(row, i) + above[i]) / 2);
    break;
  case kFilterPaeth:
    for (size_t i = 0; i < n; ++i)
      out[i] = static_cast<uint8_t>(row[i] - paethPredictor(left(row, i), above[i], left(above, i)));
    break;
  default:
    std::copy(row, row + n, out);
    break;
  }
}

// The filter libpng's heuristic picks: the smallest sum of the filtered bytes
// read as signed values.
size_t signedSum(const uint8_t *bytes, size_t n) {
  size_t sum = 0;
  for (size_t i = 0; i < n; ++i)
    sum += static_cast<size_t>(std::abs(static_cast<int>(static_cast<int8_t>(bytes[i]))));
  return sum;
}

void putU32(std::vector<uint8_t> &out, uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  out.insert(out.end(), bytes, bytes + 4);
}

// Length, type, data and the CRC of type and data.
void putChunk(std::vector<uint8_t> &out, const char *type, const uint8_t *data, size_t n) {
  putU32(out, static_cast<uint32_t>(n));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (n > 0)
    out.insert(out.end(), data, data + n);
  putU32(out, libdeflate_crc32(0, out.data() + typeAt, n + 4));
}

// IDAT chunks of at most this many bytes (PNG allows 2^31 - 1).
constexpr size_t kMaxIdatBytes = size_t{1} << 20;

} // namespace

std::vector<uint8_t> encodePng(const uint8_t *pixels, int width, int height, int channels, int compressionLevel,
                               RowOrder order) {
  std::vector<uint8_t> out;
  if (!pixels || width <= 0 || height <= 0 || (channels != 3 && channels != 4))
    return out;
  const int level = std::clamp(compressionLevel, 0, 9);
  const size_t bpp = static_cast<size_t>(channels);
  const size_t stride = static_cast<size_t>(width) * bpp;
  const size_t rows = static_cast<size_t>(height);

  // Each row: its filter type, then the filtered bytes. At the fast levels
  // every row is filtered "up" (on the show's frames as small as choosing per
  // row, in a fraction of the time); above them each row takes the filter
  // whose bytes sum smallest.
  std::vector<uint8_t> filtered((stride + 1) * rows);
  const std::vector<uint8_t> zeros(stride, 0);
  std::vector<uint8_t> trial(level <= 1 ? 0 : stride);
  // The picture's top row and the step from a row to the one below it.
  const bool bottomFirst = order == RowOrder::BottomFirst;
  const uint8_t *top = bottomFirst ? pixels + stride * (rows - 1) : pixels;
  const ptrdiff_t down = bottomFirst ? -static_cast<ptrdiff_t>(stride) : static_cast<ptrdiff_t>(stride);
  for (size_t y = 0; y < rows; ++y) {
    const uint8_t *row = top + down * static_cast<ptrdiff_t>(y);
    const uint8_t *above = y > 0 ? row - down : zeros.data();
    uint8_t *line = &filtered[(stride + 1) * y];
    if (level <= 1) {
      line[0] = kFilterUp;
      filterRow(kFilterUp, row, above, stride, bpp, line + 1);
      continue;
    }
    size_t best = 0;
    for (uint8_t type = kFilterNone; type <= kFilterPaeth; ++type) {
      filterRow(type, row, above, stride, bpp, trial.data());
      const size_t sum = signedSum(trial.data(), stride);
      if (type == kFilterNone || sum < best) {
        best = sum;
        line[0] = type;
        std::copy(trial.begin(), trial.end(), line + 1);
      }
    }
  }

  libdeflate_compressor *compressor = libdeflate_alloc_compressor(level);
  if (!compressor)
    return out;
  std::vector<uint8_t> zlib(libdeflate_zlib_compress_bound(compressor, filtered.size()));
  const size_t packed = libdeflate_zlib_compress(compressor, filtered.data(), filtered.size(), zlib.data(), zlib.size());
  libdeflate_free_compressor(compressor);
  if (packed == 0)
    return out;

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  out.reserve(packed + packed / kMaxIdatBytes * 12 + 64);
  out.insert(out.end(), kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  putU32(header, static_cast<uint32_t>(width));
  putU32(header, static_cast<uint32_t>(height));
  // 8 bits a channel, RGB (2) or RGBA (6), deflate, adaptive filters, no
  // interlace.
  const uint8_t rest[5] = {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0};
  header.insert(header.end(), rest, rest + 5);
  putChunk(out, "IHDR", header.data(), header.size());
  for (size_t at = 0; at < packed; at += kMaxIdatBytes)
    putChunk(out, "IDAT", zlib.data() + at, std::min(kMaxIdatBytes, packed - at));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

bool writePngFile(const std::string &path, const uint8_t *pixels, int width, int height, int channels,
                  int compressionLevel, RowOrder order, std::string *error) {
  std::vector<uint8_t> bytes = encodePng(pixels, width, height, channels, compressionLevel, order);
  std::string reason = "not a picture that can be encoded";
  if (!bytes.empty() && writeWholeFile(path, bytes, &reason))
    return true;
  const std::string line = path + ": cannot write: " + reason;
  if (error)
    *error = line;
  else
    std::fprintf(stderr, "%s\n", line.c_str());
  return false;
}

void flipRows(std::vector<uint8_t> &pixels, int width, int height, int channels) {
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
  for (int y = 0; y < height / 2; ++y)
    std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(stride * y),
                     pixels.begin() + static_cast<std::ptrdiff_t>(stride * (y + 1)),
                     pixels.begin() + static_cast<std::ptrdiff_t>(stride * (height - 1 - y)));
}

} // namespace demo
