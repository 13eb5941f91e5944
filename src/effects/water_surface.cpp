#include "effects/water_surface.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "draw/draw.h"

namespace demo {

namespace {

constexpr int kSide = WaterSurface::kSide;
constexpr int kLast = kSide - 1;

// The stencil (see step): neighbour weight, one seventh, damping per step.
constexpr float kNeighbourWeight = 0.04f;
constexpr float kSeventh = 0.14285715f;
constexpr float kDamping = 0.99f;

// The normals' fixed z before normalising, and its square as normalize
// computes it (a float product, rounded the same at compile time).
constexpr float kNormalZ = 0.155f;
constexpr float kNormalZSquared = kNormalZ * kNormalZ;

// Heights of one grid row with the mirrored neighbours of its ends beside
// them: padded[x + 1] = h(x), padded[0] = h(1), padded[131] = h(128).
void loadPaddedHeights(const WaterCell *row, float *padded) {
  for (int x = 0; x < kSide; ++x)
    padded[x + 1] = row[x].height;
  padded[0] = padded[2];
  padded[kSide + 1] = padded[kSide - 1];
}

// out[i] = softClamp(row[i].height) for n cells.
void softClampHeights(const WaterCell *row, float *out, int n) {
  int i = 0;
#if defined(__SSE2__)
  // Four at a time with the same operations in the same order as softClamp
  // (the compiler will not vectorise its clamps by itself). minps(a, b) is
  // a < b ? a : b and keeps b when either is NaN, so min(C, u) is exactly
  // "u > C ? C : u", NaN passing through as in the scalar code.
  const __m128 scale = _mm_set1_ps(0.01f), big = _mm_set1_ps(1e30f), minusBig = _mm_set1_ps(-1e30f);
  const __m128 gain = _mm_set1_ps(0.9f), minusGain = _mm_set1_ps(-0.9f), one = _mm_set1_ps(1.f);
  const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  for (; i + 4 <= n; i += 4) {
    // Two cells are four floats (h, v, h, v); keep the heights.
    const __m128 a = _mm_loadu_ps(&row[i].height);
    const __m128 b = _mm_loadu_ps(&row[i + 2].height);
    __m128 u = _mm_mul_ps(scale, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    u = _mm_max_ps(minusBig, _mm_min_ps(big, u));
    __m128 r = _mm_div_ps(_mm_mul_ps(gain, u), _mm_add_ps(_mm_and_ps(u, absMask), one));
    r = _mm_max_ps(minusGain, _mm_min_ps(gain, r));
    _mm_storeu_ps(out + i, r);
  }
#endif
  for (; i < n; ++i)
    out[i] = WaterSurface::softClamp(row[i].height);
}

// inv[i] = 1 / sqrt(nx[i]^2 + ny[i]^2 + 0.155^2), the factor normalize
// applies, for n entries.
void inverseLengths(const float *nx, const float *ny, float *inv, int n) {
  int i = 0;
#if defined(__SSE2__)
  // By hand because std::sqrt may set errno, which keeps the compiler from
  // vectorising it; sqrtps and divps round exactly like their scalar forms.
  const __m128 zz = _mm_set1_ps(kNormalZSquared), one = _mm_set1_ps(1.f);
  for (; i + 4 <= n; i += 4) {
    const __m128 x = _mm_loadu_ps(nx + i), y = _mm_loadu_ps(ny + i);
    const __m128 l2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)), zz);
    _mm_storeu_ps(inv + i, _mm_div_ps(one, _mm_sqrt_ps(l2)));
  }
#endif
  for (; i < n; ++i)
    inv[i] = 1.f / std::sqrt(nx[i] * nx[i] + ny[i] * ny[i] + kNormalZSquared);
}

} // namespace

WaterSurface::WaterSurface()
    : cells(kCellCount), vertices(kCellCount), normals(kCellCount, Vec3{0.f, 0.f, 0.f}),
      indices(kIndexCount) {
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      vertices[static_cast<size_t>(y * kSide + x)] = Vec3{static_cast<float>(x), static_cast<float>(y), 0.f};
  // Column by column, each quad counter-clockwise seen from +z. Rows and
  // columns 0 and 129 are never drawn: they only feed the stencil.
  size_t i = 0;
  for (int j = 1; j <= kQuadSide; ++j) {
    for (int r = 1; r <= kQuadSide; ++r) {
      indices[i++] = static_cast<uint32_t>(r * kSide + j);
      indices[i++] = static_cast<uint32_t>(r * kSide + j + 1);
      indices[i++] = static_cast<uint32_t>((r + 1) * kSide + j + 1);
      indices[i++] = static_cast<uint32_t>((r + 1) * kSide + j);
    }
  }
  reset(0.f);
}

void WaterSurface::reset(float height) {
  for (WaterCell &c : cells)
    c = WaterCell{height, 0.f};
}

void WaterSurface::addDrop(float x, float y, float radius, float strength) {
  const float cx = kSide * x;
  const float cy = kSide * y;
  const float r = kSide * radius;
  const float k = strength / r;
  const float r2 = r * r;

  // A cell a whole cell beyond the disc's bounding square has d^2 far above
  // R^2 even after rounding, so q <= 0 there and the loop may skip it. With
  // non-finite or absurd arguments the whole grid is visited, which gives the
  // same result as the plain loop (NaN compares false, so nothing changes).
  int x0 = 0, x1 = kLast, y0 = 0, y1 = kLast;
  const float reach = std::fabs(r) + 1.f;
  if (reach < 1e6f && std::fabs(cx) < 1e6f && std::fabs(cy) < 1e6f) {
    x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
    x1 = std::min(kLast, static_cast<int>(std::ceil(cx + reach)));
    y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
    y1 = std::min(kLast, static_cast<int>(std::ceil(cy + reach)));
  }

  // q = R^2 - d^2 inside the disc; (q k)^2 is never negative, so a drop only
  // ever pushes down, in a bowl of profile (R^2 - d^2)^2.
  for (int i = y0; i <= y1; ++i) {
    const float dy = static_cast<float>(i) - cy;
    const float dy2 = dy * dy;
    WaterCell *row = &cells[static_cast<size_t>(i * kSide)];
    for (int j = x0; j <= x1; ++j) {
      const float dx = static_cast<float>(j) - cx;
      const float q = r2 - (dx * dx + dy2);
      if (q > 0.f) {
        const float a = q * k;
        row[j].velocity += a * a;
      }
    }
  }
}

void WaterSurface::step() {
  // Velocity: v += (h - 0.04 (4 O + D)) / 7, with O the four orthogonal and D
  // the four diagonal neighbours (mirrored at the edges). Intentional: the
  // weights sum to 0.04 x 20 = 0.8, not 1, so besides spreading ripples every
  // step pulls the whole surface back towards 0 (a flat surface at H gains
  // 0.2 H / 7 a step); the pool's look was tuned with it.
  // Height: h -= v, then v *= 0.99, which damps everything.
  //
  // The velocity of a cell reads only old heights, so both passes run in one
  // sweep: the old heights of the rows above, at and below the current one
  // sit in three padded row buffers (row r in rows[r % 3]) and each row is
  // finished before the sweep moves on. The sums are formed in the same order
  // as in the plain two-pass loop, so the result is the same bit for bit.
  float rows[3][kSide + 2];
  loadPaddedHeights(&cells[0], rows[0]);
  loadPaddedHeights(&cells[kSide], rows[1]);
  for (int y = 0; y < kSide; ++y) {
    if (y + 1 <= kLast)
      loadPaddedHeights(&cells[static_cast<size_t>((y + 1) * kSide)], rows[(y + 1) % 3]);
    // Row -1 reads row 1 and row 130 reads row 128.
    const float *up = rows[(y == 0 ? 1 : y - 1) % 3];
    const float *mid = rows[y % 3];
    const float *down = rows[(y == kLast ? kLast - 1 : y + 1) % 3];
    WaterCell *c = &cells[static_cast<size_t>(y * kSide)];
    for (int x = 0; x < kSide; ++x) {
      // Padded index x + 1 is column x.
      const float o = down[x + 1] + mid[x + 2] + mid[x] + up[x + 1];
      const float d = up[x] + up[x + 2] + down[x + 2] + down[x];
      const float v = c[x].velocity + (mid[x + 1] - kNeighbourWeight * (4.f * o + d)) * kSeventh;
      c[x].height = mid[x + 1] - v;
      c[x].velocity = v * kDamping;
    }
  }
}

void WaterSurface::computeNormals() {
  // n = (e(x+1, y) - e(x-1, y), e(x, y+1) - e(x, y-1), 0.155), normalised,
  // with e the soft-clamped height. The small z makes the normals tilt far
  // for small slopes, which is what shows the ripples in the environment
  // map; the normal leans towards the higher neighbour. Each row's elevations
  // are computed once into a rolling three-row buffer (row r in rows[r % 3]).
  constexpr int kInner = kSide - 2;  // columns 1..128
  float rows[3][kSide];
  float nx[kInner], ny[kInner], inv[kInner];
  softClampHeights(&cells[0], rows[0], kSide);
  softClampHeights(&cells[kSide], rows[1], kSide);
  for (int y = 1; y < kLast; ++y) {
    softClampHeights(&cells[static_cast<size_t>((y + 1) * kSide)], rows[(y + 1) % 3], kSide);
    const float *up = rows[(y - 1) % 3];
    const float *mid = rows[y % 3];
    const float *down = rows[(y + 1) % 3];
    for (int x = 1; x < kLast; ++x) {
      nx[x - 1] = mid[x + 1] - mid[x - 1];
      ny[x - 1] = down[x] - up[x];
    }
    // As normalize does it: each component times 1 / length (never 0 here).
    inverseLengths(nx, ny, inv, kInner);
    Vec3 *n = &normals[static_cast<size_t>(y * kSide + 1)];
    for (int i = 0; i < kInner; ++i)
      n[i] = Vec3{nx[i] * inv[i], ny[i] * inv[i], kNormalZ * inv[i]};
  }
}

void WaterSurface::updateElevations() {
  float elevations[kSide];
  for (int y = 0; y < kSide; ++y) {
    const size_t row = static_cast<size_t>(y * kSide);
    softClampHeights(&cells[row], elevations, kSide);
    for (int x = 0; x < kSide; ++x)
      vertices[row + static_cast<size_t>(x)].z = elevations[x];
  }
}

void WaterSurface::draw() {
  updateElevations();
  draw::IndexedArrays arrays;
  arrays.primitive = draw::Primitive::Quads;
  arrays.positions = reinterpret_cast<const float *>(vertices.data());
  arrays.normals = reinterpret_cast<const float *>(normals.data());
  arrays.indices = indices.data();
  arrays.count = indexCount;
  draw::drawIndexed(arrays);
}

} // namespace demo
