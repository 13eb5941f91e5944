// jelly_mesh.h - the wobbling jelly blob: every vertex of a mesh's first part
// is a node on a spring to its rest position, passes part of its velocity on
// to the nodes near it, and can be kicked.
//
// Use:
//   EbrMesh blob("data/gummi.ebr");
//   JellyMesh jelly(blob);            // builds the neighbour lists (n^2, once)
//   jelly.poke(point, direction, 15); // on a beat
//   jelly.step();                     // once per frame, whatever the frame time
//   blob.recomputeNormals();          // before a draw that needs normals
//   blob.draw();
//
// The model, per node: neighbours are the other first-part vertices whose
// distance d from the node's rest position satisfies 1e-11 < d < 10, in vertex
// order, weighted 10 - d and normalised to sum 1. At most kMaxNeighbours are
// kept per node: the first ones found in vertex order (the weights of those
// kept sum to 1). A step is three rounds of
//   spring:    velocity += 0.03 |rest - position| (rest - position)
//   spreading: for each node i in index order, every neighbour k gets
//              0.3 weight(k) velocity(i), then velocity(i) *= 0.7
// then position += 0.01 velocity, written into the mesh, and velocity *= 0.99.
// The spreading works in place: a node later in the order hands on velocity
// that earlier nodes have just added to it, so the result depends on the
// vertex order. Every operation is done in single precision, in the order
// written above, so a straightforward transcription of the model gives the same
// floats bit for bit (as long as the compiler does not fuse multiply-adds,
// which the default x86-64 build cannot).
//
// The mesh is not owned: it must outlive the jelly and stay at its address.
// Only its first part is read and written; a mesh without parts gives a jelly
// without nodes, on which step and poke do nothing. All buffers are sized at
// construction: step and poke allocate nothing.
//
// What it does not do: draw, recompute normals (the node normals stay as
// loaded), look at the frame time, or use any OpenGL.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/ebr_mesh.h"
#include "base/math.h"

namespace demo {

struct JellyNode {
  Vec3 rest;       // the vertex position as loaded
  Vec3 position;   // current position
  Vec3 velocity;   // current velocity, (0, 0, 0) at start
  Vec3 normal;     // the vertex normal as loaded; never updated
  int32_t neighbourCount;  // 0 to JellyMesh::kMaxNeighbours
  // Where the node's neighbours start in the jelly's flat neighbour and
  // weight arrays (see JellyMesh::neighbours and JellyMesh::weights).
  int32_t firstNeighbour;
};

class JellyMesh {
public:
  static constexpr int32_t kMaxNeighbours = 1000;

  // Builds one node per vertex of mesh.parts[0], in vertex order, with its
  // neighbour list. Costs the square of the vertex count.
  explicit JellyMesh(EbrMesh &mesh);

  // One simulation step (three spring and spreading rounds, then the move);
  // writes every node's position into the first part's position array.
  void step();

  // Back to the loaded shape at rest, as constructed (the mesh's positions
  // too).
  void reset();

  // Every node with h = radius - |point - position| >= 0 gets velocity += h x
  // direction: the nearer the node, the harder the kick, always along
  // direction.
  void poke(const Vec3 &point, const Vec3 &direction, float radius);

  int32_t nodeCount() const { return nodeCount_; }
  const std::vector<JellyNode> &nodes() const { return nodes_; }
  // Node i's neighbourCount node indices and weights, in the order found.
  const int32_t *neighbours(int32_t i) const { return neighbourIndices_.data() + nodes_[i].firstNeighbour; }
  const float *weights(int32_t i) const { return neighbourWeights_.data() + nodes_[i].firstNeighbour; }

private:
  // A velocity (or a per-round spring kick) as x, y, z and a fourth lane
  // that stays 0, so that the spreading updates one neighbour with one vector
  // multiply and one vector add. The lanes are separate IEEE single
  // operations: the same floats as component by component.
  // (A GCC and Clang vector extension.)
  typedef float Float4 __attribute__((vector_size(16)));
  struct Lanes {
    Float4 v;
  };
  // The spreading runs over the nodes two at a time (see spread()). A
  // neighbour of one node of the pair: the byte offset of its entry in
  // velocities_ (node index x sizeof(Lanes), so the address needs no
  // multiply) and 0.3 x its weight.
  struct Share {
    uint32_t offset;
    float amount;
  };
  // A neighbour of both nodes of the pair, with both amounts.
  struct SharedShare {
    uint32_t offset;
    float first, second;
  };
  // Pair p is nodes 2p and 2p + 1. Its shared neighbours come next in
  // sharedShares_; then its firstOnly and secondOnly neighbours in
  // singleShares_. The second node as a neighbour of the first is not in
  // those lists: linked and handOn say whether it is one and its amount.
  struct PairPlan {
    int32_t shared;
    int32_t firstOnly;
    int32_t secondOnly;
    int32_t linked;
    float handOn;
  };

  void planPairs();
  void spread();

  EbrMesh *mesh_;
  std::vector<JellyNode> nodes_;
  int32_t nodeCount_ = 0;
  std::vector<int32_t> neighbourIndices_;  // every node's list, back to back
  std::vector<float> neighbourWeights_;    // parallel to neighbourIndices_
  std::vector<PairPlan> pairs_;            // nodeCount / 2
  std::vector<SharedShare> sharedShares_;
  // The pairs' single lists, then the list of the last node if the count is
  // odd.
  std::vector<Share> singleShares_;
  // Per step working copies: the velocities and the spring kicks, which stay
  // the same for the three rounds because positions only move at the end.
  std::vector<Lanes> velocities_;
  std::vector<Lanes> springKicks_;
};

} // namespace demo
