// gsp_file.h - reading and writing GSP scene files: a tree of named,
// animated nodes (plain, light, mesh, camera) and the materials the meshes use.
//
// Use:
//   Scene scene("data/final.gsp");          // the Scene constructor reads
//   readGsp("data/final.gsp", scene);       // or read into an existing scene
//   saveGsp(scene, "out/final.gsp");        // the baker writes scenes
//
// Layout (little-endian, no padding anywhere; a string is an int32 length L
// and L bytes, and L = 0 means the string is absent):
//   "GSP", int32 version 1, int32 N top-level nodes, int32 M materials,
//   N node records (each followed by its children, depth-first), M materials.
//   Node: name, rest position (3 floats), rotation (x y z w), scale (3),
//   P and P position keys (int32 time, 3 floats), R and R rotation keys
//   (int32 time, 4 floats), int32 type, the type's payload, C and C children.
//   Type 1 light (34 bytes): word, colour rgb, multiplier, three words, flag
//   byte, enabled byte. Type 2 mesh: flag byte, V, S, V positions, V normals,
//   V uv (set 0), V uv (set 1), S submeshes (K, material index, K uint32
//   indices). Type 4 camera: two words, fov, target name. Any other type has
//   no payload and loads as a plain node that keeps its type value.
//   Material: ambient, diffuse, specular, emission (rgb each), value,
//   glossiness, specular level, four texture names.
//
// Reading applies these changes: v of texture set 0 becomes 1 - v (set 1 stays
// as it is); colours get alpha 1; a specular level outside [0, 128] (or NaN)
// becomes 0; a negative submesh material index becomes 0. Textures are not
// loaded here (Scene::prepare does that) and cameras are not linked.
//
// A damaged file never half-loads. Every count, length and array is checked
// against the bytes really left before anything is allocated for it; nesting
// deeper than kMaxGspDepth, a submesh index at or past its mesh's vertex count
// and a (non-negative) material index at or past M all count as corruption.
// Whatever fails, one line goes to stderr and the scene is left empty (no
// nodes, no materials; the root is still "Scene"):
//   <path>: cannot open
//   <path>: not a GSP scene file (bad magic or version)
//   <path>: corrupt or truncated file
// Bytes after the last material are ignored.
//
// Writing is the exact inverse where the reading change can be undone: set 0's
// v is written so that reading it back gives the same in-memory value. The
// specular clamp and the negative material index fix are one-way: a scene
// built in memory with a negative index is read back with 0, and colour alphas
// are not stored. A material index of 0 in a scene without materials is
// written as -1 (it can only have come from a negative index). The writer
// refuses (empty result and a reason) a scene that would not read back as it
// stands: a count that disagrees with its array, an index at or past the
// vertex count, a material index at or past the material list, a node whose
// class disagrees with its type, a present but empty string (length 0 means
// absent), or nesting deeper than kMaxGspDepth.
//
// What it does not do: sort or check key order, or keep any part of a file
// that failed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace demo {

// Top-level nodes are at depth 1; a node deeper than this is corruption.
constexpr int kMaxGspDepth = 1000;

// Replaces the scene's nodes and materials with the file's (path through
// resolveDataPath; messages name the path as given) and sets scene.path.
// False, with a line on stderr and the scene empty, when it fails.
bool readGsp(const std::string &path, Scene &scene);

// The same from bytes already in memory; `path` only names them in messages.
bool parseGsp(const std::vector<uint8_t> &bytes, const std::string &path, Scene &scene);

// The file for the scene's nodes (the root's children) and materials; empty,
// with the reason in *error, when the scene cannot be written as it stands.
std::vector<uint8_t> writeGsp(const Scene &scene, std::string *error = nullptr);

// writeGsp to path (through resolveDataPath). False, with "<path>: <reason>"
// on stderr, when the scene is refused or the file cannot be written.
bool saveGsp(const Scene &scene, const std::string &path);

} // namespace demo
