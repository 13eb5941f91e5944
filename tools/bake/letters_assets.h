// letters_assets.h - the letter scene's data: the tumbling letters, the
// jelly blob, the two sphere maps, the credit pictures and the band texture.
//
// The letter scene looks from (-70, 0, -100) at points near the origin with a
// 90 degree field of view, spinning the world about the origin. The jelly
// blob sits at the origin, about 85 units across. The letters are drawn
// twice round the blob, at 2 and at 4 times their size, 40 to 120 units out,
// so their meshes are built small: each letter about 9 units tall, the whole
// cluster within about 20 units of its centre. The scene never animates
// the letter file (rest transforms only) and never uses its camera; the file
// still carries "Camera01" in front of the letters, with the scene's 90
// degree field of view, so that a viewer can look at them.
//
// The jelly links every vertex to the others within 10 units, so the blob is
// a welded geodesic sphere (no duplicate vertices, one part) whose vertices
// sit about 4 units apart, so each has some twenty neighbours, pushed into a
// smooth lumpy shape. (A kick of the scene's strength throws a patch of the
// blob out by about twice its radius for a few frames; a larger blob would
// only shrink that relative to its size, and the scene's view leaves no
// room for one.)
//
// Use:
//   context.writeGsp("bokstavscene.gsp", *buildLetterScene());
//   context.writeEbr("gummi.ebr", buildJellyBlob());
//   context.writeJpeg("phong.jpg", paintPhongMap());   // and so on
//
// What it does not do: write files (letters.cpp does) or draw anything.
#pragma once

#include <memory>
#include <string>

#include "bake/image.h"
#include "bake/mesh_builder.h"
#include "scene/ebr_mesh.h"

namespace demo {
class Scene;
}

namespace demo::bake {

// The letter nodes in the order the scene draws them, the text each holds,
// and the colour the scene draws it in (the materials carry the same).
struct LetterNode {
  const char *name;
  const char *text;
  Colour colour;
};
constexpr int kLetterNodeCount = 4;
extern const LetterNode kLetterNodes[kLetterNodeCount];

constexpr float kJellyRadius = 42.f; // mean radius of the blob
constexpr int kJellyFrequency = 12;  // geodesic subdivisions per edge: 1442 vertices

// The letter cluster: the four letter meshes, "Torus02" round them, and the
// viewing camera with its target. Materials: one untextured colour each.
std::unique_ptr<Scene> buildLetterScene();

// A welded geodesic sphere of `frequency` subdivisions per icosahedron edge
// (10 f^2 + 2 vertices), radius 1, counter-clockwise seen from outside, with
// unit normals and spherical (u, v).
MeshData makeGeodesicSphere(int frequency);

// The jelly: the geodesic sphere of kJellyFrequency scaled to kJellyRadius
// and pushed in and out by smooth noise. One part named "gummi".
EbrMesh buildJellyBlob();

// The pictures' sizes below are base sizes: each is painted at `detail`
// (image.h).

// Sphere maps (256 x 256, RGB): the letters' white highlight on dark grey
// (the scene tints them), and the jelly's glossy candy-orange studio.
Image paintPhongMap(int detail = 1);
Image paintGummiMap(int detail = 1);

// One credit picture (kCreditWidth x kCreditHeight, RGBA): `role` large over
// the group's name on a translucent panel edged in `accent`.
constexpr int kCreditWidth = 256;
constexpr int kCreditHeight = 128;
Image paintCredit(const std::string &role, const Colour &accent, int detail = 1);

// The dark band the corridor scene slides along the screen edges: 128 x 128
// RGBA, tiling left to right, opaque at the bottom row (the screen edge) and
// fading to clear at the top (towards the middle of the screen).
Image paintBorder(int detail = 1);

// A squirrel on a branch in a sunlit wood (256 x 256, RGB).
Image paintSquirrel(int detail = 1);

} // namespace demo::bake
