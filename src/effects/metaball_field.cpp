#include "effects/metaball_field.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "draw/draw.h"
#include "effects/marching_cubes_tables.h"

namespace demo {

namespace {

constexpr float kIsoLevel = 1.0f;
// The smallest squared distance a ball divides by, so that a ball centred
// exactly on a grid point gives that point a large finite value instead of
// an infinite one (which would turn the neighbouring normals into NaN).
constexpr float kMinDistanceSquared = 1e-6f;
// drawSurface polygonises into its own buffer in batches of this many
// triangles, all inside one draw::begin ... draw::end.
constexpr int kDrawBatchTriangles = 2048;

// How many triangles each corner code yields, counted from the table once.
struct TriangleCounts {
  uint8_t count[256];
  TriangleCounts() : count() {
    for (int code = 0; code < 256; ++code) {
      int entries = 0;
      while (entries < 16 && kTriangleTable[code][entries] != -1)
        ++entries;
      count[code] = static_cast<uint8_t>(entries / 3);
    }
  }
};
const TriangleCounts kTriangleCounts;

// One bound of a ball's box: v truncated toward zero and clamped to
// [0, maxIndex]. The comparisons come first so that no float outside the int
// range (or NaN) is ever converted; for every other v the result is the same
// as converting and then clamping. NaN gives 0.
int boxBound(float v, int maxIndex) {
  if (!(v > 0.0f))
    return 0;
  if (v >= static_cast<float>(maxIndex))
    return maxIndex;
  return static_cast<int>(v);
}

// Bit c of the code is set when corner c is below the iso level; a value of
// exactly 1.0, or a NaN, is not below.
int cornerCode(const FieldCell &cell) {
  int code = 0;
  for (int c = 0; c < 8; ++c)
    if (cell.corners[c]->value < kIsoLevel)
      code |= 1 << c;
  return code;
}

// The triangles of a cell whose corner code is already known.
int emitCell(const FieldPoint *const corners[8], int code, SurfaceVertex *out) {
  const int32_t edges = kEdgeTable[code];
  if (edges == 0)
    return 0;
  SurfaceVertex vertex[12];
  for (uint32_t left = static_cast<uint32_t>(edges); left != 0; left &= left - 1) {
    const int e = __builtin_ctz(left);
    vertex[e] = MetaballField::interpolateEdge(*corners[kEdgeCorners[e][0]], *corners[kEdgeCorners[e][1]]);
  }
  // Every row ends with -1 by entry 15 at the latest.
  const int32_t *row = kTriangleTable[code];
  int entries = 0;
  for (; row[entries] != -1; ++entries)
    out[entries] = vertex[row[entries]];
  return entries / 3;
}

// Sends vertices inside a Triangles batch the way the scene's shader expects
// them: unit 1's coordinate is the surface point's x and y.
void submit(const SurfaceVertex *vertices, int count) {
  for (int v = 0; v < count; ++v) {
    const Vec3 &p = vertices[v].position;
    const Vec3 &n = vertices[v].normal;
    draw::multiTexCoord(1, p.x, p.y);
    draw::normal(n.x, n.y, n.z);
    draw::vertex(p.x, p.y, p.z);
  }
}

// Cells 64w .. 64w+63 of a row whose four point rows (the cell's j, k
// combinations) have the below-level masks a, b, c, d: a bit is set for each
// cell with corners on both sides of the level. Cell i needs point bits i
// and i+1; the bit above the word comes from the next word.
uint64_t mixedCells(const uint64_t *a, const uint64_t *b, const uint64_t *c, const uint64_t *d, int w,
                    int words) {
  const uint64_t all = a[w] & b[w] & c[w] & d[w];
  const uint64_t any = a[w] | b[w] | c[w] | d[w];
  uint64_t allNext = 0;
  uint64_t anyNext = 0;
  if (w + 1 < words) {
    allNext = a[w + 1] & b[w + 1] & c[w + 1] & d[w + 1];
    anyNext = a[w + 1] | b[w + 1] | c[w + 1] | d[w + 1];
  }
  const uint64_t allBelow = all & ((all >> 1) | (allNext << 63));
  const uint64_t noneBelow = ~any & ~((any >> 1) | (anyNext << 63));
  return ~(allBelow | noneBelow);
}

// The bits of word w that stand for indices in [from, to).
uint64_t indexRange(int w, int from, int to) {
  const int lo = std::clamp(from - 64 * w, 0, 64);
  const int hi = std::clamp(to - 64 * w, 0, 64);
  if (lo >= hi)
    return 0;
  const uint64_t upTo = hi == 64 ? ~uint64_t(0) : (uint64_t(1) << hi) - 1;
  return upTo & ~((uint64_t(1) << lo) - 1);
}

inline int bitAt(const uint64_t *row, int i) { return static_cast<int>((row[i >> 6] >> (i & 63)) & 1); }

// One ball's contributions along a row of points, written to row[lo..hi)
// (rowContributions) or added to it (addRow). The divisions vectorise; they
// are exact, so the bits do not depend on how many run at once.
void rowContributions(float *__restrict row, const float *__restrict dx2, float dy2, float dz2, float r2,
                      int lo, int hi) {
  for (int i = lo; i < hi; ++i)
    row[i] = r2 / std::max((dx2[i] + dy2) + dz2, kMinDistanceSquared);
}

void addRow(float *__restrict row, const float *__restrict dx2, float dy2, float dz2, float r2, int lo,
            int hi) {
  for (int i = lo; i < hi; ++i)
    row[i] += r2 / std::max((dx2[i] + dy2) + dz2, kMinDistanceSquared);
}

// The normals of points 1 .. n-2 of one row of points, from the central
// differences value(i-1) - value(i+1) (and likewise along j and k) of the
// contiguous value rows, scaled to unit length; a zero gradient gives a zero
// normal. The four-wide part does the same operations in the same order as
// the scalar tail (IEEE square root and division are exact in both), so every
// point gets the same bits whichever path computed it. It writes each point's
// normal and value as one 16-byte store, the value being the one it already
// has.
// Intentional: z is taken along k, not mirrored like the positions (see the
// header).
void gradientRow(const float *row, const float *below, const float *above, const float *front,
                 const float *back, int n, FieldPoint *points) {
  int i = 1;
#if defined(__SSE__)
  const __m128 zero = _mm_setzero_ps();
  const __m128 one = _mm_set1_ps(1.0f);
  for (; i + 4 < n; i += 4) {
    const __m128 gx = _mm_sub_ps(_mm_loadu_ps(row + i - 1), _mm_loadu_ps(row + i + 1));
    const __m128 gy = _mm_sub_ps(_mm_loadu_ps(below + i), _mm_loadu_ps(above + i));
    const __m128 gz = _mm_sub_ps(_mm_loadu_ps(front + i), _mm_loadu_ps(back + i));
    const __m128 squared =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(gx, gx), _mm_mul_ps(gy, gy)), _mm_mul_ps(gz, gz));
    const __m128 length = _mm_sqrt_ps(squared);
    const __m128 scale = _mm_and_ps(_mm_cmpgt_ps(length, zero), _mm_div_ps(one, length));
    __m128 x = _mm_mul_ps(gx, scale);
    __m128 y = _mm_mul_ps(gy, scale);
    __m128 z = _mm_mul_ps(gz, scale);
    __m128 value = _mm_loadu_ps(row + i);
    _MM_TRANSPOSE4_PS(x, y, z, value);  // now one (nx, ny, nz, value) per point
    _mm_storeu_ps(&points[i].normal.x, x);
    _mm_storeu_ps(&points[i + 1].normal.x, y);
    _mm_storeu_ps(&points[i + 2].normal.x, z);
    _mm_storeu_ps(&points[i + 3].normal.x, value);
  }
#endif
  for (; i + 1 < n; ++i) {
    const float gx = row[i - 1] - row[i + 1];
    const float gy = below[i] - above[i];
    const float gz = front[i] - back[i];
    const float length = std::sqrt(gx * gx + gy * gy + gz * gz);
    const float scale = length > 0.0f ? 1.0f / length : 0.0f;
    points[i].normal = {gx * scale, gy * scale, gz * scale};
  }
}

} // namespace

MetaballField::MetaballField(int n) : size_(n) {
  if (n < kMinSize || n > kMaxSize)
    throw std::invalid_argument("MetaballField: a grid of " + std::to_string(n) +
                                " points per axis is outside the supported " + std::to_string(kMinSize) +
                                " to " + std::to_string(kMaxSize));
  const size_t count = static_cast<size_t>(n) * n * n;
  points_.resize(count);
  size_t index = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i, ++index) {
        FieldPoint &p = points_[index];
        p.position = {2.0f * i / n - 1.0f, 2.0f * j / n - 1.0f, 1.0f - 2.0f * k / n};
        p.normal = {0.0f, 0.0f, 0.0f};
        p.value = 0.0f;
      }

  const int m = n - 1;
  cells_.resize(static_cast<size_t>(m) * m * m);
  index = 0;
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i, ++index)
        for (int c = 0; c < 8; ++c) {
          const size_t corner = static_cast<size_t>(i + kCellCorners[c][0]) +
                                static_cast<size_t>(n) * (j + kCellCorners[c][1]) +
                                static_cast<size_t>(n) * n * (k + kCellCorners[c][2]);
          cells_[index].corners[c] = &points_[corner];
        }

  for (int c = 0; c < 8; ++c)
    cornerOffset_[c] = static_cast<size_t>(kCellCorners[c][0]) + static_cast<size_t>(n) * kCellCorners[c][1] +
                       static_cast<size_t>(n) * n * kCellCorners[c][2];
  words_ = (n + 63) / 64;
  planeBits_.assign(2 * static_cast<size_t>(n) * words_, 0);
  rowScratch_.assign(n, 0.0f);
  axisScratch_.assign(3 * static_cast<size_t>(kMaxBatch) * n, 0.0f);
  valueScratch_.assign(3 * static_cast<size_t>(n) * n, 0.0f);
  drawBuffer_.resize(3 * kDrawBatchTriangles);
}

void MetaballField::clearValues() {
  for (FieldPoint &p : points_)
    p.value = 0.0f;
}

void MetaballField::addBall(float cx, float cy, float cz, float r) {
  const Metaball ball = {cx, cy, cz, r};
  addBalls(&ball, 1);
}

void MetaballField::addBalls(const Metaball *balls, int count) {
  for (int first = 0; first < count; first += kMaxBatch)
    addBatch(balls + first, std::min(kMaxBatch, count - first));
}

// Every point receives its balls' contributions one after the other in ball
// order, exactly as from separate addBall calls, so the values come out bit
// for bit the same; but each row of points is read and written once for the
// whole batch instead of once per ball.
void MetaballField::addBatch(const Metaball *balls, int count) {
  const int n = size_;
  const int last = n - 1;
  struct Box {
    int lo[3], hi[3];
    float r2;
    const float *d2[3];  // squared distance from the centre per index, per axis
  };
  Box boxes[kMaxBatch];
  int used = 0;
  int ylo = n, yhi = 0, zlo = n, zhi = 0;
  for (int b = 0; b < count; ++b) {
    const Metaball &ball = balls[b];
    const float centre[3] = {ball.x, ball.y, ball.z};
    const float reach = 5.0f * ball.r;
    Box &box = boxes[used];
    bool empty = false;
    for (int axis = 0; axis < 3; ++axis) {
      box.lo[axis] = boxBound(centre[axis] - reach, last);
      box.hi[axis] = boxBound(centre[axis] + reach, last);
      empty = empty || box.lo[axis] >= box.hi[axis];
    }
    if (empty)
      continue;
    // Squared distances along each axis once per index instead of once per
    // point; the sum below keeps the order (x + y) + z of the per-point
    // formula.
    for (int axis = 0; axis < 3; ++axis) {
      float *d2 = axisScratch_.data() + (static_cast<size_t>(used) * 3 + axis) * n;
      for (int i = box.lo[axis]; i < box.hi[axis]; ++i) {
        const float d = centre[axis] - static_cast<float>(i);
        d2[i] = d * d;
      }
      box.d2[axis] = d2;
    }
    box.r2 = ball.r * ball.r;
    ylo = std::min(ylo, box.lo[1]);
    yhi = std::max(yhi, box.hi[1]);
    zlo = std::min(zlo, box.lo[2]);
    zhi = std::max(zhi, box.hi[2]);
    ++used;
  }

  float *row = rowScratch_.data();
  for (int k = zlo; k < zhi; ++k)
    for (int j = ylo; j < yhi; ++j) {
      const Box *active[kMaxBatch];
      int actives = 0;
      int xlo = n, xhi = 0;
      for (int b = 0; b < used; ++b) {
        const Box &box = boxes[b];
        if (k >= box.lo[2] && k < box.hi[2] && j >= box.lo[1] && j < box.hi[1]) {
          active[actives++] = &box;
          xlo = std::min(xlo, box.lo[0]);
          xhi = std::max(xhi, box.hi[0]);
        }
      }
      FieldPoint *p = &points_[index(0, j, k)];
      if (actives == 1) {
        // One ball: its contributions, then straight into the points.
        const Box &box = *active[0];
        rowContributions(row, box.d2[0], box.d2[1][j], box.d2[2][k], box.r2, xlo, xhi);
        for (int i = xlo; i < xhi; ++i)
          p[i].value += row[i];
      } else if (actives > 1) {
        for (int i = xlo; i < xhi; ++i)
          row[i] = p[i].value;
        for (int b = 0; b < actives; ++b)
          addRow(row, active[b]->d2[0], active[b]->d2[1][j], active[b]->d2[2][k], active[b]->r2, active[b]->lo[0],
                 active[b]->hi[0]);
        for (int i = xlo; i < xhi; ++i)
          p[i].value = row[i];
      }
    }
}

void MetaballField::copyPlaneValues(int k, float *plane) const {
  const size_t count = static_cast<size_t>(size_) * size_;
  const FieldPoint *p = &points_[count * k];
  for (size_t q = 0; q < count; ++q)
    plane[q] = p[q].value;
}

void MetaballField::updateNormals() {
  // The gradient of plane k needs planes k-1, k and k+1: they are copied out
  // of the points into a ring of three contiguous planes, each plane once,
  // so that the arithmetic runs on whole rows at a time.
  const int n = size_;
  const size_t plane = static_cast<size_t>(n) * n;
  float *ring[3] = {valueScratch_.data(), valueScratch_.data() + plane, valueScratch_.data() + 2 * plane};
  copyPlaneValues(0, ring[0]);
  copyPlaneValues(1, ring[1]);
  for (int k = 1; k + 1 < n; ++k) {
    const float *front = ring[(k - 1) % 3];
    const float *middle = ring[k % 3];
    float *back = ring[(k + 1) % 3];
    copyPlaneValues(k + 1, back);
    for (int j = 1; j + 1 < n; ++j) {
      const size_t row = static_cast<size_t>(n) * j;
      gradientRow(middle + row, middle + row - n, middle + row + n, front + row, back + row, n,
                  &points_[plane * k + row]);
    }
  }
}

SurfaceVertex MetaballField::interpolateEdge(const FieldPoint &a, const FieldPoint &b) {
  const float mu = (kIsoLevel - a.value) / (b.value - a.value);
  SurfaceVertex v;
  v.position = {a.position.x + mu * (b.position.x - a.position.x),
                a.position.y + mu * (b.position.y - a.position.y),
                a.position.z + mu * (b.position.z - a.position.z)};
  v.normal = {a.normal.x + mu * (b.normal.x - a.normal.x), a.normal.y + mu * (b.normal.y - a.normal.y),
              a.normal.z + mu * (b.normal.z - a.normal.z)};
  return v;
}

int MetaballField::polygoniseCell(const FieldCell &cell, SurfaceVertex *out) {
  return emitCell(cell.corners, cornerCode(cell), out);
}

int MetaballField::polygoniseCell(const FieldCell &cell) {
  SurfaceVertex vertices[3 * kMaxTrianglesPerCell];
  const int triangles = polygoniseCell(cell, vertices);
  submit(vertices, 3 * triangles);
  return triangles;
}

void MetaballField::classifyPlane(int k, uint64_t *plane) const {
  const int n = size_;
  const FieldPoint *p = &points_[static_cast<size_t>(n) * n * k];
  for (int j = 0; j < n; ++j, p += n) {
    uint64_t *row = plane + static_cast<size_t>(j) * words_;
    for (int w = 0; w < words_; ++w) {
      const int begin = 64 * w;
      const int end = std::min(n, begin + 64);
      uint64_t bits = 0;
      for (int i = begin; i < end; ++i)
        bits |= static_cast<uint64_t>(p[i].value < kIsoLevel) << (i - begin);
      row[w] = bits;
    }
  }
}

int MetaballField::polygonise(SurfaceVertex *out, int capacity, int &nextCell) {
  const int total = cellCount();
  if (capacity < kMaxTrianglesPerCell)
    throw std::invalid_argument("MetaballField::polygonise: room for " + std::to_string(capacity) +
                                " triangles; give it at least kMaxTrianglesPerCell");
  if (nextCell < 0 || nextCell > total)
    throw std::invalid_argument("MetaballField::polygonise: cursor " + std::to_string(nextCell) +
                                " is outside 0.." + std::to_string(total));
  if (nextCell == total)
    return 0;

  // Each point's side of the level is one bit in a row mask, two point
  // planes at a time; a whole row of cells is then sorted into "all on one
  // side" (nothing to do, almost every cell) and "mixed" with a few word
  // operations, and only mixed cells are visited.
  const int m = size_ - 1;
  const int words = words_;
  const int firstK = nextCell / (m * m);
  const int firstJ = (nextCell / m) % m;
  const int firstI = nextCell % m;
  uint64_t *lower = planeBits_.data();
  uint64_t *upper = lower + static_cast<size_t>(size_) * words;
  classifyPlane(firstK, lower);
  classifyPlane(firstK + 1, upper);

  int written = 0;
  int j = firstJ;
  for (int k = firstK; k < m; ++k, j = 0) {
    if (k != firstK) {
      std::swap(lower, upper);
      classifyPlane(k + 1, upper);
    }
    for (; j < m; ++j) {
      const uint64_t *a = lower + static_cast<size_t>(j) * words;  // (j, k)
      const uint64_t *b = upper + static_cast<size_t>(j) * words;  // (j, k+1)
      const uint64_t *c = a + words;                               // (j+1, k)
      const uint64_t *d = b + words;                               // (j+1, k+1)
      const int from = (k == firstK && j == firstJ) ? firstI : 0;
      const size_t rowBase = static_cast<size_t>(size_) * (j + static_cast<size_t>(size_) * k);
      for (int w = 0; w < words; ++w) {
        uint64_t mixed = mixedCells(a, b, c, d, w, words) & indexRange(w, from, m);
        while (mixed) {
          const int i = 64 * w + __builtin_ctzll(mixed);
          mixed &= mixed - 1;
          // Corner order as in kCellCorners: 0 (i,j,k), 1 (i+1,j,k),
          // 2 (i+1,j,k+1), 3 (i,j,k+1), then the same at j+1.
          const int code = bitAt(a, i) | bitAt(a, i + 1) << 1 | bitAt(b, i + 1) << 2 | bitAt(b, i) << 3 |
                           bitAt(c, i) << 4 | bitAt(c, i + 1) << 5 | bitAt(d, i + 1) << 6 | bitAt(d, i) << 7;
          const int cell = i + m * (j + m * k);
          if (kTriangleCounts.count[code] > capacity - written) {
            nextCell = cell;
            return written;
          }
          // The corners by offset from point (i, j, k): cheaper than
          // fetching the cell's 64 bytes of pointers from a 3.8 MB table.
          const FieldPoint *const origin = &points_[i + rowBase];
          const FieldPoint *const corners[8] = {
              origin + cornerOffset_[0], origin + cornerOffset_[1], origin + cornerOffset_[2],
              origin + cornerOffset_[3], origin + cornerOffset_[4], origin + cornerOffset_[5],
              origin + cornerOffset_[6], origin + cornerOffset_[7]};
          written += emitCell(corners, code, out + 3 * written);
        }
      }
    }
  }
  nextCell = total;
  return written;
}

int MetaballField::drawSurface() {
  int total = 0;
  int nextCell = 0;
  draw::begin(draw::Primitive::Triangles);
  while (nextCell < cellCount()) {
    const int triangles = polygonise(drawBuffer_.data(), kDrawBatchTriangles, nextCell);
    submit(drawBuffer_.data(), 3 * triangles);
    total += triangles;
  }
  draw::end();
  return total;
}

} // namespace demo
