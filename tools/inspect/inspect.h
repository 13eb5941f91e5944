// inspect.h - quintervale-inspect: describes one of the show's data files as JSON,
// exactly as the show's own readers load it.
//
// Use:
//   quintervale-inspect data/final.gsp                 // nodes and materials
//   quintervale-inspect --full data/tunnel.ebr         // every array too
//   quintervale-inspect --spectrum 12.5 data/01.ogg    // the 256 bins at 12.5 s
//   quintervale-inspect --flashes shots/               // a capture's flashing (flash_meter.h)
// or, from code (the tests):
//   Inspection result = inspectFile("data/final.gsp", InspectOptions{});
//   if (result.ok) use(result.document); else report(result.error);
//
// The kind comes from the content: "GSP" at the start is a scene, the PNG
// and JPEG signatures are pictures, "OggS" is music; a file with none of
// these is an EBR mesh when its name ends in ".ebr" (any case; the format has
// no magic of its own), and of unknown kind otherwise. The readers are the
// show's: readGsp, EbrMesh, decodePng, loadJpeg, decodeOggFile; paths go
// through resolveDataPath like theirs.
//
// The document (keys in this order; every name that is absent in the file is
// null):
//   gsp   {"kind", "nodes": [NODE...], "materials": [MAT...]}
//         nodes are the root's children, in file order. NODE is
//         {"name", "type" (the file's value), "position" [x,y,z], "rotation"
//          [x,y,z,w], "scale" [x,y,z] (the rest transform), "positionKeys",
//          "rotationKeys", "children": [NODE...]} and, by the node's class,
//         "light":  {"color" [r,g,b], "multiplier", "enabled" (bool)}
//         "mesh":   {"vertices" (count), "submeshes": [{"indices" (count),
//                    "material" (index)}]}
//         "camera": {"fov", "target" (name)}.
//         A track is {"count", "first", "last"}: the times, in ticks, of its
//         first and last key in file order; both null for an empty track.
//         MAT is {"ambient", "diffuse", "specular", "emission" (r,g,b,a each),
//         "glossiness", "specularLevel", "textures" [four names]}.
//   ebr   {"kind", "parts": [{"vertices", "triangles", "min" [x,y,z],
//          "max" [x,y,z]}]}: the bounding box of the part's positions (NaN
//          coordinates are left out of it); both null for a part without
//          vertices.
//   png / jpeg  {"kind", "width", "height", "channels"} as decoded: PNG 3 or
//          4, JPEG always 3.
//   ogg   {"kind", "seconds", "rate", "channels"}: the decoded length; with
//          a spectrum time also "spectrum": the 256 magnitudes the show reads
//          at that time of the music (the capture clock's spectrumAt: the
//          512 frames ending at round(seconds x rate); before the start and
//          past the end is silence).
// With `full` the arrays come too, exactly as held in memory after loading:
//   mesh      "positions", "normals" ([x,y,z] each), "texCoords", "texCoords1"
//             ([u,v] each; set 0 holds 1 - v of the file, set 1 the file's v),
//             and "indexList" (flat) in each submesh;
//   ebr part  "positions", "normals", "texCoords" ([u, 1 - v of the file]),
//             "indexList" (flat, consecutive triples are triangles);
//   tracks    "keys": [{"time", "position" [x,y,z]}] or
//             [{"time", "rotation" [x,y,z,w]}].
// Numbers: floats are written as the shortest decimal that reads back as the
// same float; NaN and infinities cannot be written in JSON and come out null.
// Names are the file's bytes; bytes that are not UTF-8 are written as U+FFFD.
//
// Failures. A file that is missing, unreadable, damaged or of unknown kind
// gives ok = false and one line in `error` ("<path>: <what is wrong>"; the
// reader's own line where the reader reports one). While a reader runs, its
// standard error is collected rather than passed through, so the line appears
// once; lines a reader prints about a file that still loads (a JPEG warning)
// end up in `notes`.
//
// What it does not do: load textures, link cameras to their targets, touch
// OpenGL or open an audio device; it never writes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace demo {

class Scene;
class EbrMesh;

// Insertion-ordered JSON whose floating-point numbers are floats, the width
// every value of the files has.
using InspectJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t,
                                         std::uint64_t, float>;

enum class FileKind { Gsp, Ebr, Png, Jpeg, Ogg, Unknown };

// What a file is, from its first bytes (at least 8 are looked at when there)
// and, for EBR only, its name.
FileKind detectFileKind(const std::string &path, const uint8_t *head, size_t count);
// "gsp", "ebr", "png", "jpeg", "ogg" or "unknown".
const char *fileKindName(FileKind kind);

struct InspectOptions {
  bool full = false;
  std::optional<double> spectrumSeconds; // Ogg files only
};

struct Inspection {
  bool ok = false;
  InspectJson document; // when ok
  std::string error;    // when not ok: one line, no newline
  std::string notes;    // what the readers printed about a file that loaded
};

Inspection inspectFile(const std::string &path, const InspectOptions &options = InspectOptions());

// The "gsp" and "ebr" documents of objects already in memory.
InspectJson describeScene(const Scene &scene, bool full);
InspectJson describeEbr(const EbrMesh &mesh, bool full);

// The program: parses the arguments, writes the document (2-space indent, one
// trailing newline) to `out`. Exit status 0; 1 with one line on `err` when the
// file cannot be described; 2 for wrong arguments (CLI11's message on `err`).
// --help prints the usage on `out` and returns 0.
int runInspect(int argc, const char *const *argv, std::ostream &out, std::ostream &err);

} // namespace demo
