#include "draw/image_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace demo::draw {

namespace {

// The 2 x 2 average, rounded; a side of 1 averages pairs along the other,
// truncated (GLU's halveImage_ubyte and halve1Dimage_ubyte, and halveImage
// on gluScaleImage's 16-bit values).
template <typename T> std::vector<T> halved(const std::vector<T> &in, int width, int height, int channels) {
  const int w = std::max(width / 2, 1), h = std::max(height / 2, 1);
  const size_t row = size_t(width) * channels;
  std::vector<T> out(size_t(w) * h * channels);
  T *o = out.data();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < channels; ++k) {
        const T *t = in.data() + (width == 1 ? 0 : size_t(2 * x) * channels) + (height == 1 ? 0 : 2 * y * row) + k;
        if (height == 1)
          *o++ = T((t[0] + t[channels]) / 2);
        else if (width == 1)
          *o++ = T((t[0] + t[row]) / 2);
        else
          *o++ = T((t[0] + t[channels] + t[row] + t[row + channels] + 2) / 4);
      }
  return out;
}

// GLU's scale_internal_ubyte: each new pixel the sum of the source pixels
// under its box, partly covered ones weighted by the fraction covered, over
// the box's area, truncated. The box edges are kept as integer and fraction
// parts stepped in float, as GLU keeps them; the float arithmetic is GLU's
// own, step for step, so the truncation falls the same way.
std::vector<uint8_t> boxScaled(const uint8_t *in, int widthIn, int heightIn, int c, int widthOut,
                               int heightOut) {
  if (widthIn == widthOut * 2 && heightIn == heightOut * 2)
    return halved(std::vector<uint8_t>(in, in + size_t(widthIn) * heightIn * c), widthIn, heightIn, c);
  const long ysize = long(widthIn) * c, size = ysize * heightIn;
  // A box whose far edge lies on the picture's edge reads one pixel beyond it
  // with weight 0; GLU reads whatever is there, which adds nothing.
  auto at = [&](long offset) -> int { return offset < size ? in[offset] : 0; };
  std::vector<uint8_t> out(size_t(widthOut) * heightOut * c);
  // A run of pixels from `t`, `step` apart: the first weighted `first`,
  // `inner` more weighted `middle`, the next `last`, added in GLU's order.
  float totals[4];
  auto addRun = [&](long t, long step, int inner, float first, float middle, float last) {
    for (int k = 0; k < c; ++k)
      totals[k] += at(t + k) * first;
    for (int n = 0; n < inner; ++n) {
      t += step;
      for (int k = 0; k < c; ++k)
        totals[k] += at(t + k) * middle;
    }
    t += step;
    for (int k = 0; k < c; ++k)
      totals[k] += at(t + k) * last;
  };
  const float convy = float(heightIn) / heightOut, convx = float(widthIn) / widthOut;
  const int convyInt = int(std::floor(convy)), convxInt = int(std::floor(convx));
  const float convyFloat = convy - convyInt, convxFloat = convx - convxInt;
  const float area = convx * convy;
  int lowyInt = 0, highyInt = convyInt;
  float lowyFloat = 0, highyFloat = convyFloat;
  for (int i = 0; i < heightOut; ++i) {
    // GLU keeps the box's last row inside the picture. When the heights are
    // equal (and only the width is scaled) that empties the last row's box,
    // and the row comes out 0.
    if (highyInt >= heightIn)
      highyInt = heightIn - 1;
    int lowxInt = 0, highxInt = convxInt;
    float lowxFloat = 0, highxFloat = convxFloat;
    for (int j = 0; j < widthOut; ++j) {
      totals[0] = totals[1] = totals[2] = totals[3] = 0;
      const long xindex = long(lowxInt) * c;
      if (highyInt > lowyInt && highxInt > lowxInt) {
        // The first and last rows, corners partly covered...
        float yPercent = 1 - lowyFloat;
        for (int edge = 0; edge < 2; ++edge) {
          addRun(xindex + (edge ? highyInt : lowyInt) * ysize, c, highxInt - lowxInt - 1,
                 yPercent * (1 - lowxFloat), yPercent, yPercent * highxFloat);
          yPercent = highyFloat;
        }
        // ...and the first and last columns between them. GLU steps these
        // two by a pixel's channels more on each row than the rows' width;
        // kept, so the results stay GLU's.
        long left = xindex + lowyInt * ysize, right = left + long(highxInt - lowxInt) * c;
        for (int m = lowyInt + 1; m < highyInt; ++m) {
          left += ysize;
          right += ysize;
          for (int k = 0; k < c; ++k, ++left, ++right)
            totals[k] += at(left) * (1 - lowxFloat) + at(right) * highxFloat;
        }
      } else if (highyInt > lowyInt) {
        const float xPercent = highxFloat - lowxFloat;
        addRun(xindex + lowyInt * ysize, ysize, highyInt - lowyInt - 1, (1 - lowyFloat) * xPercent, xPercent,
               xPercent * highyFloat);
      } else if (highxInt > lowxInt) {
        const float yPercent = highyFloat - lowyFloat;
        addRun(xindex + lowyInt * ysize, c, highxInt - lowxInt - 1, (1 - lowxFloat) * yPercent, yPercent,
               yPercent * highxFloat);
      } else {
        const float percent = (highyFloat - lowyFloat) * (highxFloat - lowxFloat);
        const long t = xindex + lowyInt * ysize;
        for (int k = 0; k < c; ++k)
          totals[k] += at(t + k) * percent;
      }
      // The pixels wholly inside.
      for (int m = lowyInt + 1; m < highyInt; ++m)
        for (int l = lowxInt + 1; l < highxInt; ++l)
          for (int k = 0; k < c; ++k)
            totals[k] += in[m * ysize + long(l) * c + k];

      uint8_t *o = out.data() + (size_t(i) * widthOut + j) * c;
      for (int k = 0; k < c; ++k)
        o[k] = uint8_t(int(totals[k] / area));
      lowxInt = highxInt;
      lowxFloat = highxFloat;
      highxInt += convxInt;
      highxFloat += convxFloat;
      if (highxFloat > 1) {
        highxFloat -= 1.0;
        highxInt++;
      }
    }
    lowyInt = highyInt;
    lowyFloat = highyFloat;
    highyInt += convyInt;
    highyFloat += convyFloat;
    if (highyFloat > 1) {
      highyFloat -= 1.0;
      highyInt++;
    }
  }
  return out;
}

} // namespace

int nearestPowerOfTwo(int n) {
  int power = 1;
  for (unsigned v = unsigned(std::max(n, 1));; v >>= 1, power *= 2)
    if (v == 1)
      return power;
    else if (v == 3)
      return power * 4;
}

ImageSize mipmapSize(int width, int height, int maxTextureSize) {
  ImageSize size{nearestPowerOfTwo(width), nearestPowerOfTwo(height)};
  while ((size.width > maxTextureSize || size.height > maxTextureSize) && (size.width > 1 || size.height > 1))
    size = {std::max(size.width / 2, 1), std::max(size.height / 2, 1)};
  return size;
}

std::vector<uint8_t> scaleImage(const uint8_t *pixels, int width, int height, int channels, int newWidth,
                                int newHeight) {
  const size_t count = size_t(width) * height * channels;
  std::vector<uint16_t> in(count), out(size_t(newWidth) * newHeight * channels);
  for (size_t i = 0; i < count; ++i)
    in[i] = uint16_t(pixels[i] * 257);
  if (width == newWidth * 2 && height == newHeight * 2) {
    out = halved(in, width, height, channels);
  } else {
    // GLU's scale_internal: a box of the size of the source area each new
    // pixel covers (one source pixel when enlarging), centred on it, the
    // source wrapping around at its edges; float and double where GLU has
    // them.
    const float convy = float(height) / newHeight, convx = float(width) / newWidth;
    const float halfconvx = convx / 2, halfconvy = convy / 2;
    for (int i = 0; i < newHeight; ++i) {
      float y = convy * (i + 0.5);
      const float highy = height > newHeight ? y + halfconvy : y + 0.5;
      const float lowy = height > newHeight ? y - halfconvy : y - 0.5;
      for (int j = 0; j < newWidth; ++j) {
        const float x0 = convx * (j + 0.5);
        const float highx = width > newWidth ? x0 + halfconvx : x0 + 0.5;
        const float lowx = width > newWidth ? x0 - halfconvx : x0 - 0.5;
        float totals[4] = {0, 0, 0, 0}, area = 0;
        y = lowy;
        for (int yint = int(std::floor(y)); y < highy; y = float(++yint)) {
          const int yindex = (yint + height) % height;
          const float ypercent = highy < yint + 1 ? highy - y : yint + 1 - y;
          float x = lowx;
          for (int xint = int(std::floor(x)); x < highx; x = float(++xint)) {
            const int xindex = (xint + width) % width;
            const float xpercent = highx < xint + 1 ? highx - x : xint + 1 - x;
            const float percent = xpercent * ypercent;
            area += percent;
            const size_t temp = (size_t(yindex) * width + xindex) * channels;
            for (int k = 0; k < channels; ++k)
              totals[k] += in[temp + k] * percent;
          }
        }
        for (int k = 0; k < channels; ++k)
          out[(size_t(i) * newWidth + j) * channels + k] = uint16_t(int((totals[k] + 0.5) / area));
      }
    }
  }
  std::vector<uint8_t> result(out.size());
  for (size_t i = 0; i < out.size(); ++i)
    result[i] = uint8_t(out[i] >> 8);
  return result;
}

std::vector<MipLevel> buildMipmaps(const uint8_t *pixels, int width, int height, int channels,
                                   int maxTextureSize) {
  const ImageSize size = mipmapSize(width, height, maxTextureSize);
  std::vector<MipLevel> levels(1, MipLevel{size.width, size.height, {}});
  if (size.width == width && size.height == height)
    levels[0].pixels.assign(pixels, pixels + size_t(width) * height * channels);
  else
    levels[0].pixels = boxScaled(pixels, width, height, channels, size.width, size.height);
  while (levels.back().width > 1 || levels.back().height > 1) {
    const MipLevel &last = levels.back();
    MipLevel next{std::max(last.width / 2, 1), std::max(last.height / 2, 1),
                  halved(last.pixels, last.width, last.height, channels)};
    levels.push_back(std::move(next));
  }
  return levels;
}

} // namespace demo::draw
