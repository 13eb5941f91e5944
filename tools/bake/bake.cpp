#include "bake/bake.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/byte_reader.h"
#include "base/data_path.h"
#include "scene/ebr_mesh.h"
#include "scene/gsp_file.h"

namespace demo::bake {

BakeContext::BakeContext(std::string outDir, bool listOnly, int detail)
    : outDir_(std::move(outDir)), listOnly_(listOnly), detail_(detail) {}

bool BakeContext::checkDetail(const std::string &name, const Image &image) {
  if (image.detail == detail_)
    return true;
  return fail(name, "painted at detail " + std::to_string(image.detail) + " in a bake at detail " +
                        std::to_string(detail_));
}

void BakeContext::group(const char *name) {
  if (!listOnly_)
    std::fprintf(stderr, "bake: %s\n", name);
}

bool BakeContext::fail(const std::string &name, const std::string &why) {
  std::fprintf(stderr, "bake: %s: %s\n", name.c_str(), why.c_str());
  failed_ = true;
  return false;
}

bool BakeContext::writeBytes(const std::string &name, const std::vector<uint8_t> &bytes) {
  written_.push_back(name);
  if (listOnly_)
    return true;
  if (bytes.empty())
    return fail(name, "nothing to write");
  std::filesystem::path path = std::filesystem::path(outDir_) / name;
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec)
    return fail(name, "cannot create " + path.parent_path().string() + ": " + ec.message());
  if (!writeWholeFile(path.string(), bytes))
    return fail(name, "cannot write " + path.string());
  return true;
}

bool BakeContext::recordDetail() {
  if (detail_ != 1)
    return writeText(kDataDetailFile, std::to_string(detail_) + "\n");
  if (listOnly_)
    return true;
  std::error_code ec;
  std::filesystem::remove(std::filesystem::path(outDir_) / kDataDetailFile, ec);
  if (ec)
    return fail(kDataDetailFile, "cannot remove the detail file of an earlier bake: " + ec.message());
  return true;
}

bool BakeContext::writeText(const std::string &name, const std::string &text) {
  return writeBytes(name, std::vector<uint8_t>(text.begin(), text.end()));
}

bool BakeContext::writeJpeg(const std::string &name, const Image &image, int quality) {
  if (listOnly_)
    return writeBytes(name, {});
  if (!checkDetail(name, image))
    return false;
  return writeBytes(name, encodeJpeg(image, quality));
}

bool BakeContext::writePng(const std::string &name, const Image &image) {
  if (listOnly_)
    return writeBytes(name, {});
  if (!checkDetail(name, image))
    return false;
  return writeBytes(name, encodePng(image));
}

bool BakeContext::writeGsp(const std::string &name, const Scene &scene) {
  if (listOnly_)
    return writeBytes(name, {});
  std::string error;
  std::vector<uint8_t> bytes = demo::writeGsp(scene, &error);
  if (bytes.empty())
    return fail(name, error);
  return writeBytes(name, bytes);
}

bool BakeContext::writeEbr(const std::string &name, const EbrMesh &mesh) {
  if (listOnly_)
    return writeBytes(name, {});
  std::vector<uint8_t> bytes = demo::writeEbr(mesh);
  if (bytes.empty())
    return fail(name, "the mesh cannot be written as it stands");
  return writeBytes(name, bytes);
}

} // namespace demo::bake
