#include "effects/jelly_mesh.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

// Vertices nearer than this are the same point and not linked.
constexpr float kMinNeighbourDistance = 1e-11f;
// Vertices this far apart or more are not linked; nearer ones get weight
// kNeighbourRadius - d before normalising, so close neighbours share more.
constexpr float kNeighbourRadius = 10.f;
// The spring pull is kSpring |d| d: it grows with the square of the
// displacement, so small wobbles ring long and big kicks snap back hard.
constexpr float kSpring = 0.03f;
// Share of a node's velocity handed to its neighbours in each round; the node
// keeps kKeep = 1 - kSpread.
constexpr float kSpread = 0.3f;
constexpr float kKeep = 0.7f;
constexpr int kRounds = 3;
// Position change per unit of velocity, and the velocity kept per step.
constexpr float kMove = 0.01f;
constexpr float kDamping = 0.99f;

float length(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

} // namespace

JellyMesh::JellyMesh(EbrMesh &mesh) : mesh_(&mesh) {
  if (mesh.parts.empty() || !mesh.parts[0])
    return;
  const EbrPart &part = *mesh.parts[0];
  const size_t vertices = std::min({static_cast<size_t>(std::max(part.vertexCount, 0)), part.positions.size(),
                                    part.normals.size()});
  nodeCount_ = static_cast<int32_t>(vertices);
  nodes_.resize(vertices);
  velocities_.assign(vertices, Lanes{Float4{0.f, 0.f, 0.f, 0.f}});
  springKicks_.assign(vertices, Lanes{Float4{0.f, 0.f, 0.f, 0.f}});

  const std::vector<Vec3> &p = part.positions;
  for (int32_t i = 0; i < nodeCount_; ++i) {
    JellyNode &node = nodes_[i];
    node.rest = node.position = p[i];
    node.normal = part.normals[i];
    node.velocity = Vec3{0.f, 0.f, 0.f};
    node.neighbourCount = 0;
    node.firstNeighbour = static_cast<int32_t>(neighbourIndices_.size());

    // Every other vertex in order; the first kMaxNeighbours in range are kept
    // and only their weights enter the sum, so a full list still sums to 1.
    float sum = 0.f;
    for (int32_t j = 0; j < nodeCount_ && node.neighbourCount < kMaxNeighbours; ++j) {
      if (j == i)
        continue;
      const float d = length(p[j].x - node.rest.x, p[j].y - node.rest.y, p[j].z - node.rest.z);
      if (d > kMinNeighbourDistance && d < kNeighbourRadius) {
        neighbourIndices_.push_back(j);
        neighbourWeights_.push_back(kNeighbourRadius - d);
        sum += kNeighbourRadius - d;
        ++node.neighbourCount;
      }
    }
    if (node.neighbourCount > 0) {
      const float scale = 1.f / sum;
      for (int32_t n = 0; n < node.neighbourCount; ++n)
        neighbourWeights_[node.firstNeighbour + n] *= scale;
    }
  }

  planPairs();
}

void JellyMesh::planPairs() {
  // kSpread x weight is the same product the model multiplies the velocity
  // by. (Byte offsets fit 32 bits for 2^28 nodes, far beyond what the n^2
  // search above can build.)
  const auto share = [this](int32_t node, int32_t n) {
    const int32_t at = nodes_[node].firstNeighbour + n;
    return Share{static_cast<uint32_t>(neighbourIndices_[at]) * static_cast<uint32_t>(sizeof(Lanes)),
                 kSpread * neighbourWeights_[at]};
  };
  const int32_t pairCount = nodeCount_ / 2;
  pairs_.assign(static_cast<size_t>(pairCount), PairPlan{0, 0, 0, 0, 0.f});
  std::vector<Share> secondOnly;
  for (int32_t p = 0; p < pairCount; ++p) {
    PairPlan &plan = pairs_[p];
    const int32_t a = 2 * p, b = a + 1;
    const int32_t *na = neighbours(a), *nb = neighbours(b);
    const int32_t ca = nodes_[a].neighbourCount, cb = nodes_[b].neighbourCount;
    secondOnly.clear();
    // Both lists are in increasing node order: one merge sorts them into
    // shared and single neighbours.
    int32_t x = 0, y = 0;
    while (x < ca || y < cb) {
      if (x < ca && na[x] == b) {
        plan.linked = 1;
        plan.handOn = share(a, x).amount;
        ++x;
      } else if (x < ca && y < cb && na[x] == nb[y]) {
        const Share first = share(a, x++), second = share(b, y++);
        sharedShares_.push_back(SharedShare{first.offset, first.amount, second.amount});
        ++plan.shared;
      } else if (y == cb || (x < ca && na[x] < nb[y])) {
        singleShares_.push_back(share(a, x++));
        ++plan.firstOnly;
      } else {
        secondOnly.push_back(share(b, y++));
        ++plan.secondOnly;
      }
    }
    singleShares_.insert(singleShares_.end(), secondOnly.begin(), secondOnly.end());
  }
  if (nodeCount_ % 2 == 1)
    for (int32_t n = 0; n < nodes_[nodeCount_ - 1].neighbourCount; ++n)
      singleShares_.push_back(share(nodeCount_ - 1, n));
}

void JellyMesh::spread() {
  // The hot loop of the jelly: about 90 neighbours per node on the blob, each
  // one vector multiply-add on a velocity that stays in the first-level cache.
  //
  // Node by node, the pass is: node i hands a share of its velocity to each
  // neighbour, then keeps 0.7 of it; a node is never its own neighbour, so its
  // velocity holds still while it hands it on. Taking nodes i and i + 1
  // together gives every velocity the same additions in the same order, with
  // one load and store for a neighbour the two share (about 60% of them on
  // the blob) instead of two:
  //   1. i's share to i + 1 (the only change to i + 1 during i's turn), then
  //      u = velocity(i) and w = velocity(i + 1) are what the two hand on;
  //   2. both keep 0.7, which is what they would hold after their own turns
  //      (i + 1's share to i comes after i's 0.7, in step 4);
  //   3. a shared neighbour gets i's share of u, then i + 1's share of w;
  //   4. the others get their single share.
  Lanes *v = velocities_.data();
  char *base = reinterpret_cast<char *>(v);
  const SharedShare *shared = sharedShares_.data();
  const Share *single = singleShares_.data();
  const auto at = [base](uint32_t offset) -> Float4 & { return reinterpret_cast<Lanes *>(base + offset)->v; };
  for (const PairPlan &plan : pairs_) {
    Float4 &first = v[0].v, &second = v[1].v;
    v += 2;
    const Float4 u = first;
    if (plan.linked)
      second += plan.handOn * u;
    const Float4 w = second;
    // Intentional: a node without neighbours keeps 0.7 as well; its share
    // goes nowhere, so a lone vertex is damped harder than a linked one.
    first = u * kKeep;
    second = w * kKeep;
    const SharedShare *sharedEnd = shared + plan.shared;
#pragma GCC unroll 2
    for (; shared != sharedEnd; ++shared) {
      Float4 &t = at(shared->offset);
      t += shared->first * u;
      t += shared->second * w;
    }
    const Share *firstEnd = single + plan.firstOnly;
#pragma GCC unroll 2
    for (; single != firstEnd; ++single)
      at(single->offset) += single->amount * u;
    const Share *secondEnd = single + plan.secondOnly;
#pragma GCC unroll 2
    for (; single != secondEnd; ++single)
      at(single->offset) += single->amount * w;
  }
  if (nodeCount_ % 2 == 1) {
    const Float4 u = v[0].v;
    for (const Share *end = singleShares_.data() + singleShares_.size(); single != end; ++single)
      at(single->offset) += single->amount * u;
    v[0].v = u * kKeep;
  }
}

void JellyMesh::reset() {
  for (int32_t i = 0; i < nodeCount_; ++i) {
    JellyNode &node = nodes_[i];
    node.position = node.rest;
    node.velocity = Vec3{0.f, 0.f, 0.f};
    mesh_->parts[0]->positions[static_cast<size_t>(i)] = node.rest;
  }
}

void JellyMesh::step() {
  if (nodeCount_ == 0)
    return;
  // Positions move only after the three rounds, so each node's spring kick is
  // the same in all of them: computed once.
  for (int32_t i = 0; i < nodeCount_; ++i) {
    const JellyNode &node = nodes_[i];
    const float dx = node.rest.x - node.position.x;
    const float dy = node.rest.y - node.position.y;
    const float dz = node.rest.z - node.position.z;
    const float pull = kSpring * length(dx, dy, dz);
    springKicks_[i].v = Float4{pull * dx, pull * dy, pull * dz, 0.f};
    velocities_[i].v = Float4{node.velocity.x, node.velocity.y, node.velocity.z, 0.f};
  }
  for (int round = 0; round < kRounds; ++round) {
    for (int32_t i = 0; i < nodeCount_; ++i)
      velocities_[i].v += springKicks_[i].v;
    spread();
  }

  // The mesh is checked for still holding the first part this jelly was built
  // on; if it was emptied or replaced by a smaller one, nothing is written.
  Vec3 *out = nullptr;
  if (!mesh_->parts.empty() && mesh_->parts[0] && mesh_->parts[0]->positions.size() >= static_cast<size_t>(nodeCount_))
    out = mesh_->parts[0]->positions.data();
  for (int32_t i = 0; i < nodeCount_; ++i) {
    JellyNode &node = nodes_[i];
    const Float4 v = velocities_[i].v;
    node.position.x += kMove * v[0];
    node.position.y += kMove * v[1];
    node.position.z += kMove * v[2];
    if (out)
      out[i] = node.position;
    node.velocity = Vec3{v[0] * kDamping, v[1] * kDamping, v[2] * kDamping};
  }
}

void JellyMesh::poke(const Vec3 &point, const Vec3 &direction, float radius) {
  for (JellyNode &node : nodes_) {
    const float h =
        radius - length(point.x - node.position.x, point.y - node.position.y, point.z - node.position.z);
    if (h >= 0.f) {
      node.velocity.x += h * direction.x;
      node.velocity.y += h * direction.y;
      node.velocity.z += h * direction.z;
    }
  }
}

} // namespace demo
