#include "inspect/inspect.h"

#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include <CLI/CLI.hpp>

#include "audio/music_stream.h"
#include "gfx/texture.h"
#include "inspect/flash_meter.h"
#include "base/data_path.h"
#include "scene/ebr_mesh.h"
#include "scene/gsp_file.h"
#include "scene/scene.h"

namespace demo {

namespace {

// ---- collecting what the readers print ---------------------------------------
//
// The readers report problems on standard error themselves, each in its own
// words. While one runs, file descriptor 2 points at a scratch file, so the
// inspector decides what reaches the person: the one line that says why a
// file failed, or the reader's remarks about a file that loaded. When no
// scratch file can be made the lines go straight through.

class StderrCapture {
public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    if (!file_)
      return;
    saved_ = dup(STDERR_FILENO);
    if (saved_ < 0 || dup2(fileno(file_), STDERR_FILENO) < 0) {
      if (saved_ >= 0)
        close(saved_);
      saved_ = -1;
      std::fclose(file_);
      file_ = nullptr;
    }
  }
  ~StderrCapture() { finish(); }
  StderrCapture(const StderrCapture &) = delete;
  StderrCapture &operator=(const StderrCapture &) = delete;

  // Puts standard error back and returns what was written meanwhile.
  std::string finish() {
    std::string text;
    if (!file_)
      return text;
    std::fflush(stderr);
    std::cerr.flush();
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    std::rewind(file_);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
      text.append(buffer, got);
    std::fclose(file_);
    file_ = nullptr;
    return text;
  }

private:
  std::FILE *file_ = nullptr;
  int saved_ = -1;
};

// The last non-empty line of `text`, without its newline.
std::string lastLine(const std::string &text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
    --end;
  if (end == 0)
    return std::string();
  const size_t newline = text.rfind('\n', end - 1);
  const size_t start = newline == std::string::npos ? 0 : newline + 1;
  return text.substr(start, end - start);
}

Inspection failure(const std::string &line) {
  Inspection result;
  result.error = line;
  return result;
}

Inspection success(InspectJson document, std::string notes) {
  Inspection result;
  result.ok = true;
  result.document = std::move(document);
  result.notes = std::move(notes);
  return result;
}

// A reader failed: its own last line when it printed one, else `fallback`.
Inspection readerFailure(const std::string &printed, const std::string &fallback) {
  const std::string line = lastLine(printed);
  return failure(line.empty() ? fallback : line);
}

// ---- JSON pieces --------------------------------------------------------------

InspectJson vec3(const Vec3 &v) { return InspectJson::array({v.x, v.y, v.z}); }

InspectJson quat(const Quat &q) { return InspectJson::array({q.x, q.y, q.z, q.w}); }

InspectJson rgba(const std::array<float, 4> &c) { return InspectJson::array({c[0], c[1], c[2], c[3]}); }

InspectJson optionalName(const std::optional<std::string> &name) {
  return name ? InspectJson(*name) : InspectJson(nullptr);
}

InspectJson vec3List(const std::vector<Vec3> &values) {
  InspectJson list = InspectJson::array();
  for (const Vec3 &v : values)
    list.push_back(vec3(v));
  return list;
}

// u, v pairs of a flat array (a trailing odd value has no pair and is left out).
InspectJson pairList(const std::vector<float> &values) {
  InspectJson list = InspectJson::array();
  for (size_t i = 0; i + 1 < values.size(); i += 2)
    list.push_back(InspectJson::array({values[i], values[i + 1]}));
  return list;
}

InspectJson indexList(const std::vector<uint32_t> &indices) {
  InspectJson list = InspectJson::array();
  for (uint32_t i : indices)
    list.push_back(i);
  return list;
}

InspectJson describeTrack(const std::vector<NodeKey> &keys, bool rotation, bool full) {
  InspectJson track = InspectJson::object();
  track["count"] = keys.size();
  track["first"] = keys.empty() ? InspectJson(nullptr) : InspectJson(keys.front().time);
  track["last"] = keys.empty() ? InspectJson(nullptr) : InspectJson(keys.back().time);
  if (full) {
    InspectJson list = InspectJson::array();
    for (const NodeKey &key : keys) {
      InspectJson entry = InspectJson::object();
      entry["time"] = key.time;
      if (rotation)
        entry["rotation"] = quat(key.rotation);
      else
        entry["position"] = vec3(key.position);
      list.push_back(std::move(entry));
    }
    track["keys"] = std::move(list);
  }
  return track;
}

InspectJson describeMesh(const MeshNode &mesh, bool full) {
  InspectJson out = InspectJson::object();
  out["vertices"] = mesh.positions.size();
  InspectJson submeshes = InspectJson::array();
  for (const Submesh &submesh : mesh.submeshes) {
    InspectJson entry = InspectJson::object();
    entry["indices"] = submesh.indices.size();
    entry["material"] = submesh.materialIndex;
    if (full)
      entry["indexList"] = indexList(submesh.indices);
    submeshes.push_back(std::move(entry));
  }
  out["submeshes"] = std::move(submeshes);
  if (full) {
    out["positions"] = vec3List(mesh.positions);
    out["normals"] = vec3List(mesh.normals);
    out["texCoords"] = pairList(mesh.texCoords);
    out["texCoords1"] = pairList(mesh.texCoords1);
  }
  return out;
}

InspectJson describeNode(const SceneNode &node, bool full) {
  InspectJson out = InspectJson::object();
  out["name"] = optionalName(node.name);
  out["type"] = node.type;
  out["position"] = vec3(node.rest.position);
  out["rotation"] = quat(node.rest.rotation);
  out["scale"] = vec3(node.rest.scale);
  out["positionKeys"] = describeTrack(node.positionKeys, false, full);
  out["rotationKeys"] = describeTrack(node.rotationKeys, true, full);
  InspectJson children = InspectJson::array();
  for (const auto &child : node.children)
    if (child)
      children.push_back(describeNode(*child, full));
  out["children"] = std::move(children);

  // The payload goes by the node's class, which the reader picks from the type.
  if (const auto *light = dynamic_cast<const LightNode *>(&node)) {
    InspectJson payload = InspectJson::object();
    payload["color"] = vec3(light->colour);
    payload["multiplier"] = light->multiplier;
    payload["enabled"] = light->enabled != 0;
    out["light"] = std::move(payload);
  } else if (const auto *mesh = dynamic_cast<const MeshNode *>(&node)) {
    out["mesh"] = describeMesh(*mesh, full);
  } else if (const auto *camera = dynamic_cast<const CameraNode *>(&node)) {
    InspectJson payload = InspectJson::object();
    payload["fov"] = camera->fov;
    payload["target"] = optionalName(camera->targetName);
    out["camera"] = std::move(payload);
  }
  return out;
}

InspectJson describeMaterial(const Material &material) {
  InspectJson out = InspectJson::object();
  out["ambient"] = rgba(material.ambient);
  out["diffuse"] = rgba(material.diffuse);
  out["specular"] = rgba(material.specular);
  out["emission"] = rgba(material.emission);
  out["glossiness"] = material.glossiness;
  out["specularLevel"] = material.specularLevel;
  InspectJson textures = InspectJson::array();
  for (const auto &name : material.textureNames)
    textures.push_back(optionalName(name));
  out["textures"] = std::move(textures);
  return out;
}

// The bounding box of a part, per coordinate, skipping NaN (fmin and fmax
// return the other operand when one is NaN, and lo/hi start as NaN).
void bounds(const std::vector<Vec3> &positions, Vec3 &lo, Vec3 &hi) {
  const float nan = std::nanf("");
  lo = Vec3{nan, nan, nan};
  hi = lo;
  for (const Vec3 &p : positions) {
    lo = Vec3{std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z)};
    hi = Vec3{std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z)};
  }
}

// ---- the kinds ------------------------------------------------------------------

Inspection inspectGsp(const std::string &path, bool full) {
  Scene scene;
  StderrCapture capture;
  const bool ok = readGsp(path, scene);
  const std::string printed = capture.finish();
  if (!ok)
    return readerFailure(printed, path + ": corrupt or truncated file");
  return success(describeScene(scene, full), printed);
}

Inspection inspectEbr(const std::string &path, const uint8_t *head, size_t count, bool full) {
  StderrCapture capture;
  EbrMesh mesh(path);
  const std::string printed = capture.finish();
  // A mesh without parts is a failure unless the file says it has none: the
  // loader leaves every failure empty and reports it on stderr.
  const bool declaresNoParts = count >= 4 && head[0] == 0 && head[1] == 0 && head[2] == 0 && head[3] == 0;
  if (mesh.parts.empty() && !declaresNoParts)
    return readerFailure(printed, path + ": corrupt or truncated file");
  return success(describeEbr(mesh, full), printed);
}

Inspection inspectPng(const std::string &path) {
  std::string error;
  StderrCapture capture;
  const PngImage image = decodePng(path.c_str(), &error);
  const std::string printed = capture.finish();
  if (image.empty())
    return failure(path + ": not a readable PNG picture (" + (error.empty() ? "no pixels" : error) + ")");
  InspectJson document = InspectJson::object();
  document["kind"] = "png";
  document["width"] = image.width;
  document["height"] = image.height;
  document["channels"] = image.channels;
  // A picture damaged in its image data is described as it decodes, with the
  // one line the show prints about it.
  return success(std::move(document), image.damage.empty() ? printed : printed + path + ": " + image.damage + "\n");
}

Inspection inspectJpeg(const std::string &path) {
  StderrCapture capture;
  const JpegImage image = loadJpeg(path.c_str());
  const std::string printed = capture.finish();
  if (image.empty() || image.width <= 0)
    return readerFailure(printed, path + ": not a readable JPEG picture");
  InspectJson document = InspectJson::object();
  document["kind"] = "jpeg";
  document["width"] = image.width;
  document["height"] = image.height;
  document["channels"] = image.stride / image.width;
  return success(std::move(document), printed);
}

Inspection inspectOgg(const std::string &path, const std::optional<double> &spectrumSeconds) {
  DecodedAudio audio;
  std::string error;
  StderrCapture capture;
  const bool ok = decodeOggFile(resolveDataPath(path.c_str()), audio, &error);
  std::string printed = capture.finish();
  if (!ok)
    return failure(path + ": " + (error.empty() ? "not a readable Ogg Vorbis file" : error));
  InspectJson document = InspectJson::object();
  document["kind"] = "ogg";
  document["seconds"] = static_cast<double>(audio.frames()) / audio.sampleRate;
  document["rate"] = audio.sampleRate;
  document["channels"] = audio.channels;
  if (spectrumSeconds) {
    // The show's own path to a spectrum at a given time (the capture clock's):
    // a stream without an audio device. It decodes the file once more, which
    // costs time only when a spectrum is asked for.
    Spectrum bins;
    StderrCapture streamCapture;
    MusicStream music;
    music.init(nullptr, false);
    const bool opened = music.open(path.c_str()) && music.spectrumAt(*spectrumSeconds, bins);
    const std::string streamPrinted = streamCapture.finish();
    if (!opened)
      return readerFailure(streamPrinted, path + ": cannot be played for a spectrum");
    printed += streamPrinted;
    InspectJson spectrum = InspectJson::array();
    for (int i = 0; i < kSpectrumBins; ++i)
      spectrum.push_back(bins[i]);
    document["spectrum"] = std::move(spectrum);
  }
  return success(std::move(document), printed);
}

bool endsWithEbr(const std::string &path) {
  if (path.size() < 4)
    return false;
  const std::string tail = path.substr(path.size() - 4);
  return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'e' &&
         std::tolower(static_cast<unsigned char>(tail[2])) == 'b' &&
         std::tolower(static_cast<unsigned char>(tail[3])) == 'r';
}

// A --spectrum value: a time in seconds, finite and not negative.
std::string checkSeconds(std::string &text) {
  errno = 0;
  char *end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 0.0)
    return "must be a time in seconds, 0 or more: " + text;
  return std::string();
}

} // namespace

// ---- public -----------------------------------------------------------------------

FileKind detectFileKind(const std::string &path, const uint8_t *head, size_t count) {
  if (head && count >= 3 && std::memcmp(head, "GSP", 3) == 0)
    return FileKind::Gsp;
  switch (pictureKind(head, count)) {
  case PictureKind::Png:
    return FileKind::Png;
  case PictureKind::Jpeg:
    return FileKind::Jpeg;
  case PictureKind::Unknown:
    break;
  }
  if (head && count >= 4 && std::memcmp(head, "OggS", 4) == 0)
    return FileKind::Ogg;
  return endsWithEbr(path) ? FileKind::Ebr : FileKind::Unknown;
}

const char *fileKindName(FileKind kind) {
  switch (kind) {
  case FileKind::Gsp:
    return "gsp";
  case FileKind::Ebr:
    return "ebr";
  case FileKind::Png:
    return "png";
  case FileKind::Jpeg:
    return "jpeg";
  case FileKind::Ogg:
    return "ogg";
  case FileKind::Unknown:
    break;
  }
  return "unknown";
}

InspectJson describeScene(const Scene &scene, bool full) {
  InspectJson document = InspectJson::object();
  document["kind"] = "gsp";
  InspectJson nodes = InspectJson::array();
  for (const auto &child : scene.children)
    if (child)
      nodes.push_back(describeNode(*child, full));
  document["nodes"] = std::move(nodes);
  InspectJson materials = InspectJson::array();
  for (const auto &material : scene.materials)
    if (material)
      materials.push_back(describeMaterial(*material));
  document["materials"] = std::move(materials);
  return document;
}

InspectJson describeEbr(const EbrMesh &mesh, bool full) {
  InspectJson document = InspectJson::object();
  document["kind"] = "ebr";
  InspectJson parts = InspectJson::array();
  for (const auto &part : mesh.parts) {
    if (!part)
      continue;
    InspectJson entry = InspectJson::object();
    entry["vertices"] = part->positions.size();
    entry["triangles"] = part->indices.size() / 3;
    if (part->positions.empty()) {
      entry["min"] = nullptr;
      entry["max"] = nullptr;
    } else {
      Vec3 lo, hi;
      bounds(part->positions, lo, hi);
      entry["min"] = vec3(lo);
      entry["max"] = vec3(hi);
    }
    if (full) {
      entry["positions"] = vec3List(part->positions);
      entry["normals"] = vec3List(part->normals);
      entry["texCoords"] = pairList(part->texCoords);
      entry["indexList"] = indexList(part->indices);
    }
    parts.push_back(std::move(entry));
  }
  document["parts"] = std::move(parts);
  return document;
}

Inspection inspectFile(const std::string &path, const InspectOptions &options) {
  // The first bytes decide the kind; each reader then opens the file itself.
  const std::string resolved = resolveDataPath(path.c_str());
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(resolved.c_str(), "rb"), &std::fclose);
  if (!file)
    return failure(path + ": cannot open (" + std::strerror(errno) + ")");
  uint8_t head[8] = {};
  const size_t count = std::fread(head, 1, sizeof head, file.get());
  if (std::ferror(file.get())) // a directory opens but does not read
    return failure(path + ": cannot read (" + std::strerror(errno) + ")");
  file.reset();

  const FileKind kind = detectFileKind(path, head, count);
  if (kind == FileKind::Unknown)
    return failure(path + ": unknown kind of file (not a GSP scene, PNG, JPEG or Ogg by its content, "
                          "nor an .ebr mesh by its name)");
  if (options.spectrumSeconds && kind != FileKind::Ogg)
    return failure(path + ": --spectrum needs an Ogg file, and this is a " + fileKindName(kind) + " file");

  switch (kind) {
  case FileKind::Gsp:
    return inspectGsp(path, options.full);
  case FileKind::Ebr:
    return inspectEbr(path, head, count, options.full);
  case FileKind::Png:
    return inspectPng(path);
  case FileKind::Jpeg:
    return inspectJpeg(path);
  case FileKind::Ogg:
    return inspectOgg(path, options.spectrumSeconds);
  case FileKind::Unknown:
    break;
  }
  return failure(path + ": unknown kind of file");
}

int runInspect(int argc, const char *const *argv, std::ostream &out, std::ostream &err) {
  CLI::App app("Describes a scene (.gsp), mesh (.ebr), picture (PNG, JPEG) or music (Ogg) file of the show "
               "as JSON, as the show loads it; with --flashes, measures how a capture of the show flashes.",
               "quintervale-inspect");
  app.set_version_flag("--version", "quintervale-inspect " DEMO_VERSION);
  bool full = false;
  double seconds = 0.0;
  bool flashes = false;
  FlashInput flashInput;
  std::string path;
  app.add_flag("--full", full, "Every array as loaded: vertices, normals, texture coordinates, indices, keys");
  CLI::Option *spectrumOption =
      app.add_option("--spectrum", seconds, "Ogg only: the 256 spectrum bins the show reads at this time")
          ->type_name("SECONDS")
          ->check(CLI::Validator(checkSeconds, "SECONDS >= 0", "seconds"));
  app.add_flag("--flashes", flashes,
               "FILE is a capture (a --capture directory or a video): the flashes in each second of it, whole "
               "frame, quarters and red, and whether it is safe to watch (exit status 3 when it is not)");
  app.add_option("--fps", flashInput.fps, "--flashes: frames per second (default: the video's, or frames.txt's)")
      ->type_name("N")
      ->check(CLI::Range(1.0, 1000.0));
  app.add_option("--from", flashInput.from,
                 "--flashes: the show time of the first frame (default: frames.txt's, or 0 for a video)")
      ->type_name("SECONDS")
      ->check(CLI::Validator(checkSeconds, "SECONDS >= 0", "seconds"));
  app.add_option("FILE", path, "The file to describe")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e, out, err) == 0 ? 0 : 2;
  }

  if (flashes) {
    FlashReport report;
    std::string error;
    if (!measureFlashes(path, flashInput, report, error)) {
      err << error << '\n';
      return 1;
    }
    if (!error.empty()) // a video that broke off: what came before it is measured
      err << error << '\n';
    out << describeFlashes(report).dump(2) << '\n';
    out.flush();
    return report.safe() ? 0 : 3;
  }

  InspectOptions options;
  options.full = full;
  if (spectrumOption->count() > 0)
    options.spectrumSeconds = seconds;
  try {
    const Inspection result = inspectFile(path, options);
    err << result.notes;
    if (!result.ok) {
      err << result.error << '\n';
      return 1;
    }
    // Names are raw bytes in the files: anything that is not UTF-8 comes out
    // as U+FFFD instead of stopping the dump.
    out << result.document.dump(2, ' ', false, InspectJson::error_handler_t::replace) << '\n';
    out.flush();
  } catch (const std::exception &e) {
    err << path << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}

} // namespace demo
