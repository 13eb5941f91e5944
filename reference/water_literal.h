// water_literal.h - the water surface written the plain way, as a reference
// for WaterSurface: the benchmark times both, the tests check that both give
// the same cells, elevations and normals.
//
// Use: WaterLiteral w; then addDrop / step / computeNormals / updateElevations
// exactly as on a WaterSurface; the public arrays have the same layout.
//
// Every operation is the straightforward loop: every neighbour read goes
// through the mirrored lookup, each drop visits all 16,900 cells, the step
// makes two full passes, each normal soft-clamps its four neighbours and goes
// through normalize. The lookup applies its reflection once (it is only asked
// for -1..130). softClamp holds huge inputs at the curve's bound like
// WaterSurface's, so both agree everywhere. No GL, no drawing: header only,
// for the bench and test programs, never part of the show.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "effects/water_surface.h"
#include "base/math.h"

namespace demo {

class WaterLiteral {
public:
  static constexpr int kSide = 130;

  WaterLiteral() : cells(kSide * kSide), vertices(kSide * kSide), normals(kSide * kSide, Vec3{0.f, 0.f, 0.f}) {
    for (int x = 0; x < kSide; ++x)
      for (int y = 0; y < kSide; ++y)
        vertices[y * kSide + x] = Vec3{static_cast<float>(x), static_cast<float>(y), 0.f};
    for (int j = 1; j <= 127; ++j) {
      for (int r = 1; r <= 127; ++r) {
        indices.push_back(static_cast<uint32_t>(r * 130 + j));
        indices.push_back(static_cast<uint32_t>(r * 130 + j + 1));
        indices.push_back(static_cast<uint32_t>((r + 1) * 130 + j + 1));
        indices.push_back(static_cast<uint32_t>((r + 1) * 130 + j));
      }
    }
    indexCount = static_cast<int>(indices.size());
    reset(0.f);
  }

  WaterCell &cell(int x, int y) {
    x = std::abs(x);
    if (x > 129)
      x = 258 - x;
    y = std::abs(y);
    if (y > 129)
      y = 258 - y;
    return cells[y * 130 + x];
  }

  float h(int x, int y) { return cell(x, y).height; }

  void reset(float height) {
    for (WaterCell &c : cells) {
      c.height = height;
      c.velocity = 0.f;
    }
  }

  void addDrop(float x, float y, float radius, float strength) {
    const float cx = 130.f * x;
    const float cy = 130.f * y;
    const float r = 130.f * radius;
    const float k = strength / r;
    const float r2 = r * r;
    for (int i = 0; i < 130; ++i) {
      for (int j = 0; j < 130; ++j) {
        const float q = r2 - ((static_cast<float>(j) - cx) * (static_cast<float>(j) - cx) +
                              (static_cast<float>(i) - cy) * (static_cast<float>(i) - cy));
        if (q > 0.f)
          cells[i * 130 + j].velocity += (q * k) * (q * k);
      }
    }
  }

  void step() {
    for (int y = 0; y < 130; ++y) {
      for (int x = 0; x < 130; ++x) {
        const float o = h(x, y + 1) + h(x + 1, y) + h(x - 1, y) + h(x, y - 1);
        const float d = h(x - 1, y - 1) + h(x + 1, y - 1) + h(x + 1, y + 1) + h(x - 1, y + 1);
        cell(x, y).velocity += (h(x, y) - 0.04f * (4.f * o + d)) * 0.14285715f;
      }
    }
    for (int y = 0; y < 130; ++y) {
      for (int x = 0; x < 130; ++x) {
        WaterCell &c = cell(x, y);
        c.height -= c.velocity;
        c.velocity *= 0.99f;
      }
    }
  }

  static float softClamp(float v) {
    const float u = std::min(std::max(0.01f * v, -1e30f), 1e30f);
    const float r = 0.9f * u / (std::fabs(u) + 1.f);
    return std::min(std::max(r, -0.9f), 0.9f);
  }

  void computeNormals() {
    for (int y = 1; y <= 128; ++y) {
      for (int x = 1; x <= 128; ++x) {
        Vec3 n;
        n.x = softClamp(h(x + 1, y)) - softClamp(h(x - 1, y));
        n.y = softClamp(h(x, y + 1)) - softClamp(h(x, y - 1));
        n.z = 0.155f;
        normalize(n);
        normals[y * 130 + x] = n;
      }
    }
  }

  void updateElevations() {
    for (int k = 0; k < 130 * 130; ++k)
      vertices[k].z = softClamp(cells[k].height);
  }

  std::vector<WaterCell> cells;
  std::vector<Vec3> vertices;
  std::vector<Vec3> normals;
  std::vector<uint32_t> indices;
  int indexCount = 0;
};

} // namespace demo
