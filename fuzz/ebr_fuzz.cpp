// ebr_fuzz: the EBR mesh loader on arbitrary bytes.
//
// EbrMesh loads from a path only, so each input goes through a scratch file of
// this process (in /dev/shm, else $TMPDIR, else /tmp). Besides not crashing,
// a load must keep the loader's promises: every part's arrays have the sizes
// of its counts and indices stay below its vertex count, a failed load has no
// parts, and a loaded mesh writes out and loads back with identical arrays
// (unless a part name is over the format's 100 bytes: those load, but the
// writer refuses them).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scene/ebr_mesh.h"
#include "scratch_file.h"

namespace {

template <typename T> bool sameBits(const std::vector<T> &a, const std::vector<T> &b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void checkShape(const demo::EbrMesh &mesh) {
  if (mesh.partCount < 0 || static_cast<size_t>(mesh.partCount) != mesh.parts.size())
    demo::fuzz::broken("partCount is the number of parts");
  for (const auto &part : mesh.parts) {
    const size_t v = part->positions.size();
    if (part->vertexCount < 0 || static_cast<size_t>(part->vertexCount) != v || part->normals.size() != v ||
        part->texCoords.size() != 2 * v || part->triangleCount < 0 ||
        part->indices.size() != 3 * static_cast<size_t>(part->triangleCount))
      demo::fuzz::broken("array sizes follow the counts");
    for (uint32_t i : part->indices)
      if (i >= v)
        demo::fuzz::broken("indices stay below the vertex count");
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  demo::fuzz::initScratch("ebr_fuzz", ".ebr");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!demo::fuzz::writeScratch(data, size))
    return 0;
  demo::EbrMesh mesh(demo::fuzz::scratchPath());
  checkShape(mesh);

  int32_t declared = -1;
  if (size >= 4)
    std::memcpy(&declared, data, 4); // little-endian host
  if (mesh.parts.empty() && declared != 0)
    return 0; // a failed load (or P = 0 would have been declared)
  for (const auto &part : mesh.parts)
    if (part->name.size() > 100)
      return 0; // read, but past what the format allows: the writer refuses it

  const std::vector<uint8_t> written = demo::writeEbr(mesh);
  if (written.empty())
    demo::fuzz::broken("a loaded mesh can be written");
  if (!demo::fuzz::writeScratch(written.data(), written.size()))
    return 0;
  demo::EbrMesh again(demo::fuzz::scratchPath());
  if (again.parts.size() != mesh.parts.size())
    demo::fuzz::broken("what the writer writes loads back");
  for (size_t p = 0; p < mesh.parts.size(); ++p) {
    const demo::EbrPart &a = *mesh.parts[p];
    const demo::EbrPart &b = *again.parts[p];
    if (a.name != b.name || !sameBits(a.positions, b.positions) || !sameBits(a.normals, b.normals) ||
        !sameBits(a.texCoords, b.texCoords) || !sameBits(a.indices, b.indices))
      demo::fuzz::broken("a loaded mesh writes out and loads back with identical arrays");
  }
  return 0;
}
