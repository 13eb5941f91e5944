// jelly_literal.h - the jelly model written out as plainly as it reads, as
// the yardstick for JellyMesh: same fields, a fixed room of 1,000 neighbours
// and weights per node, every loop in the order of the model and every
// product in the order "0.3 x weight x velocity". JellyMesh must produce the
// same floats bit for bit; the jelly test checks it and the jelly benchmark
// times both.
//
// Also here: jellyBlob, the closed blob both of them run on when the baked
// gummi mesh is not at hand (a geodesic sphere built in memory).
//
// Header only, for the tests and benchmarks; the show never uses it. Like the
// real one it reads and writes only the first part of the mesh, and keeps the
// first 1,000 neighbours found.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "scene/ebr_mesh.h"
#include "base/math.h"

namespace demo::literal {

struct JellyNode {
  Vec3 rest;
  Vec3 position;
  Vec3 velocity;
  Vec3 normal;
  int neighbourCount;
  int neighbours[1000];
  float weights[1000];
};

class JellyMesh {
public:
  explicit JellyMesh(EbrMesh &deformed) : mesh(&deformed) {
    if (mesh->parts.empty())
      return;
    const EbrPart &part = *mesh->parts[0];
    nodeCount = part.vertexCount;
    nodes.resize(static_cast<size_t>(nodeCount));
    for (int i = 0; i < nodeCount; ++i) {
      JellyNode &node = nodes[i];
      node.rest = part.positions[i];
      node.position = part.positions[i];
      node.normal = part.normals[i];
      node.velocity = Vec3{0.f, 0.f, 0.f};
      node.neighbourCount = 0;
      float sum = 0.f;
      for (int j = 0; j < nodeCount; ++j) {
        if (j == i)
          continue;
        const float dx = part.positions[j].x - node.rest.x;
        const float dy = part.positions[j].y - node.rest.y;
        const float dz = part.positions[j].z - node.rest.z;
        const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (d > 1e-11f && d < 10.f && node.neighbourCount < 1000) {
          node.neighbours[node.neighbourCount] = j;
          node.weights[node.neighbourCount] = 10.f - d;
          ++node.neighbourCount;
          sum += 10.f - d;
        }
      }
      if (node.neighbourCount > 0) {
        const float scale = 1.f / sum;
        for (int n = 0; n < node.neighbourCount; ++n)
          node.weights[n] *= scale;
      }
    }
  }

  void step() {
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < nodeCount; ++i) {
        JellyNode &node = nodes[i];
        const float dx = node.rest.x - node.position.x;
        const float dy = node.rest.y - node.position.y;
        const float dz = node.rest.z - node.position.z;
        const float l = std::sqrt(dx * dx + dy * dy + dz * dz);
        node.velocity.x += 0.03f * l * dx;
        node.velocity.y += 0.03f * l * dy;
        node.velocity.z += 0.03f * l * dz;
      }
      for (int i = 0; i < nodeCount; ++i) {
        JellyNode &node = nodes[i];
        for (int n = 0; n < node.neighbourCount; ++n) {
          JellyNode &other = nodes[node.neighbours[n]];
          other.velocity.x += 0.3f * node.weights[n] * node.velocity.x;
          other.velocity.y += 0.3f * node.weights[n] * node.velocity.y;
          other.velocity.z += 0.3f * node.weights[n] * node.velocity.z;
        }
        node.velocity.x *= 0.7f;
        node.velocity.y *= 0.7f;
        node.velocity.z *= 0.7f;
      }
    }
    for (int i = 0; i < nodeCount; ++i) {
      JellyNode &node = nodes[i];
      node.position.x += 0.01f * node.velocity.x;
      node.position.y += 0.01f * node.velocity.y;
      node.position.z += 0.01f * node.velocity.z;
      mesh->parts[0]->positions[i] = node.position;
      node.velocity.x *= 0.99f;
      node.velocity.y *= 0.99f;
      node.velocity.z *= 0.99f;
    }
  }

  void poke(const Vec3 &point, const Vec3 &direction, float radius) {
    for (int i = 0; i < nodeCount; ++i) {
      JellyNode &node = nodes[i];
      const float dx = point.x - node.position.x;
      const float dy = point.y - node.position.y;
      const float dz = point.z - node.position.z;
      const float h = radius - std::sqrt(dx * dx + dy * dy + dz * dz);
      if (h >= 0.f) {
        node.velocity.x += h * direction.x;
        node.velocity.y += h * direction.y;
        node.velocity.z += h * direction.z;
      }
    }
  }

  EbrMesh *mesh;
  std::vector<JellyNode> nodes;
  int nodeCount = 0;
};

// A closed sphere of the given radius, centred on the origin: an icosahedron
// whose faces are cut into frequency^2 triangles each, the points pushed out
// onto the sphere. 10 frequency^2 + 2 vertices (frequency 12: 1,442 vertices
// about 1.7 to 2 units apart at radius 20, 2,880 triangles, counter-clockwise
// seen from outside). One part, named "blob"; texture coordinates are 0.
inline EbrMesh jellyBlob(int frequency, float radius) {
  const float g = 0.5f * (1.f + std::sqrt(5.f));
  const Vec3 corner[12] = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                           {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  const int face[20][3] = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                           {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
                           {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
  std::vector<Vec3> positions;
  std::vector<uint32_t> indices;
  // A grid point is named by its corners and their integer weights, so the
  // faces sharing an edge or a corner find the same vertex.
  std::map<std::vector<std::pair<int, int>>, uint32_t> known;
  for (const auto &f : face) {
    int a = f[0], b = f[1], c = f[2];
    const Vec3 &pa = corner[a], &pb = corner[b], &pc = corner[c];
    const Vec3 n = cross(Vec3{pb.x - pa.x, pb.y - pa.y, pb.z - pa.z}, Vec3{pc.x - pa.x, pc.y - pa.y, pc.z - pa.z});
    if (n.x * (pa.x + pb.x + pc.x) + n.y * (pa.y + pb.y + pc.y) + n.z * (pa.z + pb.z + pc.z) < 0.f)
      std::swap(b, c);
    const auto vertex = [&](int i, int j) {
      std::vector<std::pair<int, int>> key;
      for (const auto &w : {std::make_pair(a, frequency - i - j), std::make_pair(b, i), std::make_pair(c, j)})
        if (w.second > 0)
          key.push_back(w);
      std::sort(key.begin(), key.end());
      const auto found = known.find(key);
      if (found != known.end())
        return found->second;
      Vec3 p{0.f, 0.f, 0.f};
      for (const auto &w : key) {
        p.x += static_cast<float>(w.second) * corner[w.first].x;
        p.y += static_cast<float>(w.second) * corner[w.first].y;
        p.z += static_cast<float>(w.second) * corner[w.first].z;
      }
      normalize(p);
      positions.push_back(Vec3{radius * p.x, radius * p.y, radius * p.z});
      const uint32_t index = static_cast<uint32_t>(positions.size() - 1);
      known.emplace(key, index);
      return index;
    };
    for (int i = 0; i < frequency; ++i)
      for (int j = 0; i + j < frequency; ++j) {
        indices.insert(indices.end(), {vertex(i, j), vertex(i + 1, j), vertex(i, j + 1)});
        if (i + j < frequency - 1)
          indices.insert(indices.end(), {vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1)});
      }
  }
  EbrMesh mesh;
  std::vector<float> texCoords(2 * positions.size(), 0.f);
  mesh.addPart("blob", std::move(positions), std::move(texCoords), std::move(indices));
  return mesh;
}

} // namespace demo::literal
