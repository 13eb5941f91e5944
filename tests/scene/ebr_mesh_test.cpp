#include "scene/ebr_mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/data_path.h"
#include "base/byte_reader.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// A part record written field by field, independently of writeEbr.
struct RawPart {
  std::string name;
  std::vector<std::array<float, 5>> vertices;  // x, y, z, u, v as in the file
  std::vector<int32_t> indices;
};

void encodePart(ByteWriter &out, const RawPart &part) {
  out.i32(static_cast<int32_t>(part.vertices.size()));
  out.i32(static_cast<int32_t>(part.indices.size() / 3));
  out.i32(static_cast<int32_t>(part.name.size()));
  out.raw(part.name.data(), part.name.size());
  for (const auto &v : part.vertices)
    for (float f : v)
      out.f32(f);
  for (int32_t i : part.indices)
    out.i32(i);
}

std::vector<uint8_t> encode(const std::vector<RawPart> &parts) {
  ByteWriter out;
  out.i32(static_cast<int32_t>(parts.size()));
  for (const RawPart &part : parts)
    encodePart(out, part);
  return out.bytes();
}

// Part "ab": one triangle. Part "": a quad of two triangles.
std::vector<RawPart> twoParts() {
  return {
      {"ab", {{{0, 0, 0, 0, 0.2f}}, {{1, 0, 0, 1, 0.2f}}, {{0, 1, 0, 0, 1}}}, {0, 1, 2}},
      {"", {{{0, 0, 5, 0, 0}}, {{2, 0, 5, 1, 0}}, {{2, 3, 5, 1, 1}}, {{0, 3, 5, 0, 1}}}, {0, 1, 2, 0, 2, 3}},
  };
}

// Loads bytes written to a scratch file; `message` receives stderr.
EbrMesh loadBytes(const std::vector<uint8_t> &bytes, std::string &message, const TempDir &dir,
                  const std::string &name = "m.ebr") {
  const std::string path = dir.file(name);
  writeFile(path, bytes);
  CaptureStderr();
  EbrMesh mesh(path);
  message = GetCapturedStderr();
  return mesh;
}

void expectVec(const Vec3 &v, float x, float y, float z, float eps = 1e-6f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

void expectSameParts(const EbrMesh &a, const EbrMesh &b) {
  ASSERT_EQ(a.partCount, b.partCount);
  ASSERT_EQ(a.parts.size(), b.parts.size());
  for (size_t p = 0; p < a.parts.size(); ++p) {
    const EbrPart &x = *a.parts[p];
    const EbrPart &y = *b.parts[p];
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.vertexCount, y.vertexCount);
    EXPECT_EQ(x.triangleCount, y.triangleCount);
    ASSERT_EQ(x.positions.size(), y.positions.size());
    for (size_t i = 0; i < x.positions.size(); ++i) {
      EXPECT_EQ(x.positions[i].x, y.positions[i].x);
      EXPECT_EQ(x.positions[i].y, y.positions[i].y);
      EXPECT_EQ(x.positions[i].z, y.positions[i].z);
    }
    EXPECT_EQ(x.texCoords, y.texCoords);
    EXPECT_EQ(x.indices, y.indices);
  }
}

// ---- loading ----------------------------------------------------------------

TEST(EbrLoad, MissingFileShowsOneMessageWithThePathAsCaptionAndHasNoParts) {
  CaptureStderr();
  EbrMesh mesh("/nonexistent/dir/tunnel.ebr");
  EXPECT_EQ(GetCapturedStderr(), "/nonexistent/dir/tunnel.ebr: Error: .ebr file not found\n");
  EXPECT_EQ(mesh.partCount, 0);
  EXPECT_TRUE(mesh.parts.empty());
}

TEST(EbrLoad, DataNamesResolveToTheDataDirectoryAndReportThePathOpened) {
  TempDir dir;
  writeFile(dir.file("grid.ebr"), encode(twoParts()));
  setDataDirectory(dir.path());
  EbrMesh found("data/grid.ebr");
  CaptureStderr();
  EbrMesh missing("data/gummi.ebr");
  const std::string message = GetCapturedStderr();
  setDataDirectory("");
  EXPECT_EQ(found.partCount, 2);
  EXPECT_EQ(message, dir.file("gummi.ebr") + ": Error: .ebr file not found\n");
}

TEST(EbrLoad, ReadsEveryFieldOfEveryPartInFileOrder) {
  TempDir dir;
  std::string message;
  EbrMesh mesh = loadBytes(encode(twoParts()), message, dir);
  EXPECT_EQ(message, "");
  ASSERT_EQ(mesh.partCount, 2);
  ASSERT_EQ(mesh.parts.size(), 2u);

  const EbrPart &a = *mesh.parts[0];
  EXPECT_EQ(a.name, "ab");
  EXPECT_EQ(a.vertexCount, 3);
  EXPECT_EQ(a.triangleCount, 1);
  ASSERT_EQ(a.positions.size(), 3u);
  ASSERT_EQ(a.normals.size(), 3u);
  ASSERT_EQ(a.texCoords.size(), 6u);
  expectVec(a.positions[1], 1, 0, 0, 0);
  // v = 0.2 in the file is t = 0.8 in memory; u is kept.
  EXPECT_FLOAT_EQ(a.texCoords[2], 1.f);
  EXPECT_FLOAT_EQ(a.texCoords[3], 0.8f);
  EXPECT_FLOAT_EQ(a.texCoords[5], 0.f);
  EXPECT_EQ(a.indices, (std::vector<uint32_t>{0, 1, 2}));
  // Normals are computed on load.
  expectVec(a.normals[0], 0, 0, 1);

  // The second part (L = 0) starts right after the first part's indices;
  // its last index is V - 1, the largest allowed.
  const EbrPart &b = *mesh.parts[1];
  EXPECT_EQ(b.name, "");
  EXPECT_EQ(b.vertexCount, 4);
  EXPECT_EQ(b.triangleCount, 2);
  expectVec(b.positions[2], 2, 3, 5, 0);
  EXPECT_EQ(b.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
}

TEST(EbrLoad, EmptyNameIsFollowedDirectlyByTheVertexRecords) {
  ByteWriter out;
  out.i32(1);
  out.i32(1);  // V
  out.i32(0);  // T
  out.i32(0);  // L
  for (float f : {7.f, 8.f, 9.f, 0.5f, 0.25f})
    out.f32(f);
  TempDir dir;
  std::string message;
  EbrMesh mesh = loadBytes(out.bytes(), message, dir);
  ASSERT_EQ(mesh.partCount, 1);
  expectVec(mesh.parts[0]->positions[0], 7, 8, 9, 0);
  EXPECT_EQ(mesh.parts[0]->texCoords, (std::vector<float>{0.5f, 0.75f}));
}

TEST(EbrLoad, ZeroPartsLongNamesAndTrailingBytesAreAccepted) {
  TempDir dir;
  std::string message;
  EbrMesh none = loadBytes(encode({}), message, dir, "none.ebr");
  EXPECT_EQ(message, "");
  EXPECT_EQ(none.partCount, 0);

  std::vector<RawPart> parts = twoParts();
  parts[0].name = std::string(300, 'n');  // more than the format's 100
  std::vector<uint8_t> bytes = encode(parts);
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
  EbrMesh mesh = loadBytes(bytes, message, dir, "long.ebr");
  EXPECT_EQ(message, "");
  ASSERT_EQ(mesh.partCount, 2);
  EXPECT_EQ(mesh.parts[0]->name.size(), 300u);
  expectVec(mesh.parts[1]->positions[3], 0, 3, 5, 0);
}

// ---- corrupt files ----------------------------------------------------------

TEST(EbrCorrupt, EveryTruncationOfATwoPartFileLeavesNoParts) {
  const std::vector<uint8_t> whole = encode(twoParts());
  TempDir dir;
  const std::string path = dir.file("cut.ebr");
  for (size_t size = 0; size < whole.size(); ++size) {
    writeFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(size)));
    CaptureStderr();
    EbrMesh mesh(path);
    EXPECT_EQ(GetCapturedStderr(), path + ": corrupt or truncated file\n") << size << " bytes";
    EXPECT_EQ(mesh.partCount, 0) << size << " bytes";
    EXPECT_TRUE(mesh.parts.empty()) << size << " bytes";
  }
}

// Header fields of the first part of twoParts(): V at 4, T at 8, L at 12.
void expectCorruptWhenSet(size_t offset, int32_t value, const char *what) {
  std::vector<uint8_t> bytes = encode(twoParts());
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * i));
  TempDir dir;
  std::string message;
  EbrMesh mesh = loadBytes(bytes, message, dir);
  EXPECT_EQ(message, dir.file("m.ebr") + ": corrupt or truncated file\n") << what << " = " << value;
  EXPECT_EQ(mesh.partCount, 0) << what << " = " << value;
  EXPECT_TRUE(mesh.parts.empty()) << what << " = " << value;
}

TEST(EbrCorrupt, CountsLargerThanTheFileAreRejectedBeforeAllocating) {
  // 0x7fffffff records would need tens of gigabytes; none is allocated.
  expectCorruptWhenSet(0, 0x7fffffff, "P");
  expectCorruptWhenSet(4, 0x7fffffff, "V");
  expectCorruptWhenSet(8, 0x7fffffff, "T");
  expectCorruptWhenSet(12, 0x7fffffff, "L");
  // One too many: the extra part's header, or the extra triangle's indices
  // (which then run into the next part's header), are not what they must be.
  expectCorruptWhenSet(0, 3, "P");
  expectCorruptWhenSet(8, 2, "T");
}

TEST(EbrCorrupt, NegativeCountsAreRejected) {
  expectCorruptWhenSet(0, -1, "P");
  expectCorruptWhenSet(4, -1, "V");
  expectCorruptWhenSet(8, -1, "T");
  expectCorruptWhenSet(12, -1, "L");
  expectCorruptWhenSet(4, INT32_MIN, "V");
}

TEST(EbrCorrupt, IndexOutsideTheVertexRangeLeavesNoPartialMesh) {
  // The bad index sits in the second part, after a good first part.
  for (int32_t bad : {4, -1}) {
    std::vector<RawPart> parts = twoParts();
    parts[1].indices[4] = bad;
    TempDir dir;
    std::string message;
    EbrMesh mesh = loadBytes(encode(parts), message, dir);
    EXPECT_EQ(message, dir.file("m.ebr") + ": corrupt or truncated file\n") << "index " << bad;
    EXPECT_EQ(mesh.partCount, 0) << "index " << bad;
    EXPECT_TRUE(mesh.parts.empty()) << "index " << bad;
  }
}

// ---- normals ----------------------------------------------------------------

TEST(EbrNormals, CounterClockwiseTriangleFacesTheViewer) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::vector<float>(6, 0.f), {0, 1, 2}));
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::vector<float>(6, 0.f), {0, 2, 1}));
  for (const Vec3 &n : mesh.parts[0]->normals)
    expectVec(n, 0, 0, 1);
  for (const Vec3 &n : mesh.parts[1]->normals)
    expectVec(n, 0, 0, -1);
}

TEST(EbrNormals, LargerTriangleWeighsMoreAtASharedVertex) {
  // Vertex 0 is shared. Triangle (0, 1, 2) has area 1 and faces +z; triangle
  // (0, 3, 4) has area 3 and faces +x. Their cross products are (0, 0, 2)
  // and (6, 0, 0), so vertex 0 leans 3 : 1 towards +x.
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 0, 3}}, std::vector<float>(10, 0.f),
                           {0, 1, 2, 0, 3, 4}));
  const std::vector<Vec3> &n = mesh.parts[0]->normals;
  const float s = 1.f / std::sqrt(10.f);
  expectVec(n[0], 3 * s, 0, s);
  expectVec(n[1], 0, 0, 1);
  expectVec(n[4], 1, 0, 0);
}

TEST(EbrNormals, UnusedVertexKeepsAZeroNormal) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, std::vector<float>(8, 0.f), {0, 1, 2}));
  const Vec3 &n = mesh.parts[0]->normals[3];
  EXPECT_EQ(n.x, 0.f);
  EXPECT_EQ(n.y, 0.f);
  EXPECT_EQ(n.z, 0.f);
}

TEST(EbrNormals, RecomputeAfterMovingVerticesInPlaceStartsAfreshInTheSameArrays) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::vector<float>(6, 0.f), {0, 1, 2}));
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}, std::vector<float>(6, 0.f), {0, 1, 2}));
  EbrPart &a = *mesh.parts[0];
  const Vec3 *positions = a.positions.data();
  const Vec3 *normals = a.normals.data();
  // Swapping two corners turns the triangle over: the old +z must not linger
  // in the sums (it would cancel the new -z to zero).
  std::swap(a.positions[1], a.positions[2]);
  mesh.parts[1]->positions[2].x = 1.f;  // cross((0, 1, 0), (1, 0, 1)) = (1, 0, -1)
  mesh.recomputeNormals();
  for (const Vec3 &n : a.normals)
    expectVec(n, 0, 0, -1);
  const float s = 1.f / std::sqrt(2.f);
  expectVec(mesh.parts[1]->normals[0], s, 0, -s);
  EXPECT_EQ(a.positions.data(), positions);
  EXPECT_EQ(a.normals.data(), normals);
}

// ---- building and writing ---------------------------------------------------

TEST(EbrWrite, WriterProducesTheFileLayout) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("ab", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0.75f, 1, 0.75f, 0, 0}, {0, 1, 2}));
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 5}, {2, 0, 5}, {2, 3, 5}, {0, 3, 5}}, {0, 1, 1, 1, 1, 0, 0, 0},
                           {0, 1, 2, 0, 2, 3}));
  std::vector<RawPart> expected = twoParts();
  expected[0].vertices[0][4] = expected[0].vertices[1][4] = 0.25f;  // t 0.75 is v 0.25
  EXPECT_EQ(writeEbr(mesh), encode(expected));
  EXPECT_EQ(writeEbr(EbrMesh()), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(EbrWrite, SeveralPartsWithEmptyNamesSurviveARoundTrip) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("", {{1.5f, -2, 3}, {4, 5, -6.25f}, {7, 8, 9}}, {0.1f, 0.5f, 0.25f, 1, 3, -2}, {2, 1, 0}));
  ASSERT_TRUE(mesh.addPart("spike", {}, {}, {}));
  ASSERT_TRUE(mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0.5f, 1, 0.5f, 1, 1, 0, 1},
                           {0, 1, 2, 0, 2, 3}));
  ASSERT_TRUE(mesh.addPart(std::string(100, 'x'), {{0, 0, 1}}, {0.5f, 0.5f}, {}));
  TempDir dir;
  ASSERT_TRUE(saveEbr(mesh, dir.file("r.ebr")));
  EbrMesh back(dir.file("r.ebr"));
  expectSameParts(mesh, back);
  EXPECT_EQ(writeEbr(back), writeEbr(mesh));
}

TEST(EbrWrite, LoadedMeshWritesBackToTheSameArraysAndExactVBytes) {
  // v values whose 1 - v is exact come back bit for bit; 0.2, 1.7 and -0.3
  // come back as the nearest value that survives, and stay put from then on.
  std::vector<RawPart> parts = {
      {"p", {{{1, 2, 3, 0.1f, 0.2f}}, {{4, 5, 6, 0.3f, 1.7f}}, {{7, 8, 9, 0.4f, -0.3f}}}, {0, 1, 2}},
      {"", {{{0, 0, 0, 0, 0}}, {{1, 0, 0, 1, 0.25f}}, {{0, 1, 0, 0, 0.75f}}, {{1, 1, 1, 1, 1}}}, {0, 1, 2, 1, 3, 2}},
  };
  TempDir dir;
  std::string message;
  EbrMesh once = loadBytes(encode(parts), message, dir, "once.ebr");
  ASSERT_EQ(once.partCount, 2);
  const std::vector<uint8_t> written = writeEbr(once);
  EbrMesh twice = loadBytes(written, message, dir, "twice.ebr");
  expectSameParts(once, twice);
  EXPECT_EQ(writeEbr(twice), written);

  std::vector<RawPart> exactOnly = {parts[1]};
  EbrMesh exact = loadBytes(encode(exactOnly), message, dir, "exact.ebr");
  EXPECT_EQ(writeEbr(exact), encode(exactOnly));
}

TEST(EbrWrite, AddPartRejectsArraysThatDoNotMakeAPart) {
  EbrMesh mesh;
  const std::vector<Vec3> tri = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  EXPECT_FALSE(mesh.addPart("", tri, std::vector<float>(5, 0.f), {0, 1, 2}));   // texCoords short
  EXPECT_FALSE(mesh.addPart("", tri, std::vector<float>(6, 0.f), {0, 1}));      // not a triple
  EXPECT_FALSE(mesh.addPart("", tri, std::vector<float>(6, 0.f), {0, 1, 3}));   // index = V
  EXPECT_FALSE(mesh.addPart(std::string(101, 'x'), tri, std::vector<float>(6, 0.f), {0, 1, 2}));
  EXPECT_EQ(mesh.partCount, 0);
  EXPECT_TRUE(mesh.parts.empty());
  EXPECT_TRUE(mesh.addPart(std::string(100, 'x'), tri, std::vector<float>(6, 0.f), {2, 1, 0}));
  EXPECT_EQ(mesh.partCount, 1);
}

TEST(EbrWrite, InconsistentMeshIsNotWritten) {
  TempDir dir;
  const std::string path = dir.file("bad.ebr");
  auto expectRefused = [&](const EbrMesh &mesh, const char *what) {
    EXPECT_TRUE(writeEbr(mesh).empty()) << what;
    CaptureStderr();
    EXPECT_FALSE(saveEbr(mesh, path)) << what;
    EXPECT_NE(GetCapturedStderr().find(path + ": "), std::string::npos) << what;
    EXPECT_TRUE(readFile(path).empty()) << what;
  };
  auto fresh = [] {
    EbrMesh mesh;
    mesh.addPart("", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::vector<float>(6, 0.f), {0, 1, 2});
    return mesh;
  };
  {
    EbrMesh mesh = fresh();
    mesh.partCount = 2;
    expectRefused(mesh, "partCount");
  }
  {
    EbrMesh mesh = fresh();
    mesh.parts[0]->positions.pop_back();
    expectRefused(mesh, "positions");
  }
  {
    EbrMesh mesh = fresh();
    mesh.parts[0]->triangleCount = 2;
    expectRefused(mesh, "triangleCount");
  }
  {
    EbrMesh mesh = fresh();
    mesh.parts[0]->indices[2] = 3;
    expectRefused(mesh, "index");
  }
  {
    EbrMesh mesh = fresh();
    mesh.parts[0]->name.assign(101, 'x');
    expectRefused(mesh, "name");
  }
  CaptureStderr();
  EXPECT_FALSE(saveEbr(fresh(), dir.file("no/such/dir/x.ebr")));
  EXPECT_EQ(GetCapturedStderr(), dir.file("no/such/dir/x.ebr") + ": cannot write\n");
}

TEST(EbrPartArrays, AreSizedFromTheCountsAndZeroFilled) {
  EbrPart part(4, 2);
  EXPECT_EQ(part.positions.size(), 4u);
  EXPECT_EQ(part.normals.size(), 4u);
  EXPECT_EQ(part.texCoords, std::vector<float>(8, 0.f));
  EXPECT_EQ(part.indices, std::vector<uint32_t>(6, 0u));
  EbrPart negative(-3, -1);
  EXPECT_EQ(negative.vertexCount, 0);
  EXPECT_EQ(negative.triangleCount, 0);
  EXPECT_TRUE(negative.positions.empty());
  EXPECT_TRUE(negative.indices.empty());
}

} // namespace
} // namespace demo::test
