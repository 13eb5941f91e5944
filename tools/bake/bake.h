// bake.h - the data baker's shared pieces: where files go and how they are
// written.
//
// quintervale-bake writes every file the show loads into one directory, from code
// alone: pictures, meshes, scenes, the shader program and the music. Each
// asset group (one per scene, plus the loading screen and the end) is a
// function `void bakeX(BakeContext &)` that builds its files in memory and
// hands them to the context. The context writes them (creating folders as
// needed), remembers every name for --list, and prints one progress line per
// group on standard error.
//
// Everything is deterministic: no clocks, no rand(); every random choice
// comes from a Rng with a fixed seed, so two bakes write identical bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bake/image.h"

namespace demo {
class Scene;
class EbrMesh;
}

namespace demo::bake {

class BakeContext {
public:
  // listOnly: record names but write nothing (for --list). detail: 1, 2 or
  // 4, the detail every picture is painted at (image.h).
  BakeContext(std::string outDir, bool listOnly, int detail = 1);

  // Starts a group of files: one progress line on stderr.
  void group(const char *name);

  // Each writes `name` (relative to the output directory, e.g.
  // "vannscene/tank.jpg"). False, with a line on stderr, when it fails; the
  // failure is remembered and makes the whole bake fail.
  bool writeBytes(const std::string &name, const std::vector<uint8_t> &bytes);
  bool writeText(const std::string &name, const std::string &text);
  // A picture not painted at the bake's detail is refused (a painter that
  // missed it), and the bake fails.
  bool writeJpeg(const std::string &name, const Image &image, int quality = 92);
  bool writePng(const std::string &name, const Image &image);
  bool writeGsp(const std::string &name, const Scene &scene);
  bool writeEbr(const std::string &name, const EbrMesh &mesh);

  // Says the set's detail: writes the detail file above detail 1, and at
  // detail 1 (a set without the file) removes one an earlier bake left there.
  bool recordDetail();

  // Marks `name` as failed with a reason (a line on stderr); the bake fails.
  bool fail(const std::string &name, const std::string &why);

  const std::vector<std::string> &written() const { return written_; }
  bool failed() const { return failed_; }
  // True for --list: groups may skip expensive work and only name their files.
  bool listOnly() const { return listOnly_; }
  const std::string &outDir() const { return outDir_; }
  int detail() const { return detail_; }

private:
  bool checkDetail(const std::string &name, const Image &image);

  std::string outDir_;
  bool listOnly_;
  int detail_;
  bool failed_ = false;
  std::vector<std::string> written_;
};

// The asset groups, in the order quintervale-bake runs them.
void bakeStartAndEnd(BakeContext &context);
void bakeWater(BakeContext &context);
void bakeLogo(BakeContext &context);
void bakeLetters(BakeContext &context);
void bakeEvent(BakeContext &context);
void bakeCorridor(BakeContext &context);
void bakeFinal(BakeContext &context);
// The soundtrack, 01.ogg (tools/bake/music/).
void bakeMusic(BakeContext &context);

} // namespace demo::bake
