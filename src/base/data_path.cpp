#include "base/data_path.h"

#include "base/byte_reader.h"
#include "base/message.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

namespace demo {

namespace {
std::string &dataDir() {
  static std::string dir = "data";
  return dir;
}
int &detailInUse() {
  static int detail = 1;
  return detail;
}
} // namespace

void setDataDirectory(const std::string &dir) {
  std::string d = dir.empty() ? std::string("data") : dir;
  while (d.size() > 1 && d.back() == '/')
    d.pop_back();
  dataDir() = d;
  std::string problem;
  detailInUse() = readDataDetail(d, &problem);
  if (!problem.empty())
    reportFileProblem(d + "/" + kDataDetailFile, problem + "; the pictures are taken as detail 1");
}

const std::string &dataDirectory() { return dataDir(); }

int dataDetail() { return detailInUse(); }

int readDataDetail(const std::string &dir, std::string *problem) {
  const std::string path = dir + "/" + kDataDetailFile;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    return 1;
  // A digit and a line end: anything that is not a small plain file is no
  // detail (and a pipe or a huge file is not read).
  constexpr std::uintmax_t kLongest = 8;
  if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) > kLongest || ec) {
    if (problem)
      *problem = "not a detail (1, 2 or 4)";
    return 1;
  }
  std::vector<uint8_t> bytes;
  std::string why;
  if (!readWholeFile(path, bytes, &why)) {
    if (problem)
      *problem = why;
    return 1;
  }
  std::string text(bytes.begin(), bytes.end());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (text == "1" || text == "2" || text == "4")
    return text[0] - '0';
  if (problem)
    *problem = "not a detail (1, 2 or 4)";
  return 1;
}

std::string detailedDataDirectory(const std::string &dir, int detail) {
  return dir + "-detail" + std::to_string(detail);
}

int detailForScale(float renderScale) {
  if (renderScale >= 3.f)
    return 4;
  if (renderScale >= 1.5f)
    return 2;
  return 1;
}

std::string chooseDataDirectory(const std::string &dir, float renderScale) {
  for (int detail = detailForScale(renderScale); detail > 1; detail /= 2) {
    const std::string candidate = detailedDataDirectory(dir, detail);
    if (holdsDataSet(candidate) && readDataDetail(candidate, nullptr) == detail)
      return candidate;
  }
  return dir;
}

std::string resolveDataPath(const char *path) {
  if (!path)
    return std::string();
  if (std::strncmp(path, "data/", 5) == 0)
    return dataDir() + "/" + (path + 5);
  return std::string(path);
}

std::string executableDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return std::string();
  return exe.parent_path().string();
}

const std::vector<std::string> &dataSetFiles() {
  // As the baker writes them (demo-bake --list), sorted.
  static const std::vector<std::string> files = {
      "01.ogg", "Box1CompleteMap.jpg", "Box2CompleteMap.jpg", "Box4CompleteMap.jpg", "Box5CompleteMap.jpg",
      "bgcomplete.jpg", "bokstavscene.gsp", "credits/code.png", "credits/gfx1.png", "credits/gfx2.png",
      "credits/music.png", "ekorn.jpg", "endlogo.png", "envmap_gummi.jpg", "envmap_metaballs.jpg",
      "envmap_old.jpg", "final.gsp", "flare.jpg", "gang.gsp", "greetings.png", "grey.jpg", "grid.ebr",
      "gummi.ebr", "kestranelogo3d.jpg", "kubedritt.ebr", "loadingbar.png", "loadingscreen.jpg", "logoscene.gsp",
      "logotextcomplete.jpg", "marker.jpg", "metaballsfp.txt", "ooo.jpg", "overlays/logo_q.png",
      "overlays/logo_qu.png", "overlays/logo_qui.png", "overlays/logo_quin.png", "overlays/logo_quint.png",
      "overlays/logo_quinte.png", "overlays/logo_quinter.png", "overlays/logo_quinterv.png",
      "overlays/logo_quinterva.png", "overlays/logo_quinterval.png", "overlays/logo_quintervale.png",
      "overlays/o_border.png", "overlays/o_kestrane.png", "overlays/scene-event.png", "phong.jpg",
      "poopscience.jpg", "sq.jpg", "tunnel.ebr", "tunnel.jpg", "ultramap.jpg", "vannbump.jpg", "vannscene.gsp",
      "vannscene/aller_ytterste_stenger.jpg", "vannscene/andre_stenger.jpg", "vannscene/kabler_rundt_boks.jpg",
      "vannscene/nedre_stenger.jpg", "vannscene/takboks.jpg", "vannscene/tank.jpg", "vannscene/tykke_kabler.jpg",
      "vannscene/ytterstenger_og_skjermer.jpg", "vegg.png", "yollspike.ebr"};
  return files;
}

bool holdsDataSet(const std::string &dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec))
    return false;
  // More than half: a set that lost a few files is still a set (and each lost
  // file gets its own line), a folder with a handful of them is not.
  size_t present = 0;
  for (const std::string &name : dataSetFiles())
    if (std::filesystem::exists(std::filesystem::path(dir) / name, ec))
      ++present;
  return present * 2 > dataSetFiles().size();
}

PictureSize dataSetPictureSize(const std::string &name) {
  // As the baker paints them at detail 1.
  static const std::map<std::string, PictureSize> sizes = {
      {"Box1CompleteMap.jpg", {1024, 1024}}, {"Box2CompleteMap.jpg", {1024, 1024}},
      {"Box4CompleteMap.jpg", {1024, 1024}}, {"Box5CompleteMap.jpg", {1024, 1024}},
      {"bgcomplete.jpg", {512, 256}},        {"credits/code.png", {256, 128}},
      {"credits/gfx1.png", {256, 128}},      {"credits/gfx2.png", {256, 128}},
      {"credits/music.png", {256, 128}},     {"ekorn.jpg", {256, 256}},
      {"endlogo.png", {512, 128}},           {"envmap_gummi.jpg", {256, 256}},
      {"envmap_metaballs.jpg", {512, 512}},  {"envmap_old.jpg", {512, 512}},
      {"flare.jpg", {256, 256}},             {"greetings.png", {800, 600}},
      {"grey.jpg", {256, 256}},              {"kestranelogo3d.jpg", {512, 256}},
      {"loadingbar.png", {514, 45}},         {"loadingscreen.jpg", {800, 600}},
      {"logotextcomplete.jpg", {512, 128}},  {"marker.jpg", {800, 680}},
      {"ooo.jpg", {256, 256}},               {"overlays/logo_q.png", {800, 128}},
      {"overlays/logo_qu.png", {800, 128}},  {"overlays/logo_qui.png", {800, 128}},
      {"overlays/logo_quin.png", {800, 128}}, {"overlays/logo_quint.png", {800, 128}},
      {"overlays/logo_quinte.png", {800, 128}}, {"overlays/logo_quinter.png", {800, 128}},
      {"overlays/logo_quinterv.png", {800, 128}}, {"overlays/logo_quinterva.png", {800, 128}},
      {"overlays/logo_quinterval.png", {800, 128}}, {"overlays/logo_quintervale.png", {800, 128}},
      {"overlays/o_border.png", {128, 128}}, {"overlays/o_kestrane.png", {840, 160}},
      {"overlays/scene-event.png", {432, 128}}, {"phong.jpg", {256, 256}},
      {"poopscience.jpg", {256, 256}},       {"sq.jpg", {128, 128}},
      {"tunnel.jpg", {256, 256}},            {"ultramap.jpg", {256, 32}},
      {"vannbump.jpg", {256, 256}},          {"vannscene/aller_ytterste_stenger.jpg", {512, 512}},
      {"vannscene/andre_stenger.jpg", {512, 512}}, {"vannscene/kabler_rundt_boks.jpg", {512, 512}},
      {"vannscene/nedre_stenger.jpg", {256, 256}}, {"vannscene/takboks.jpg", {1024, 1024}},
      {"vannscene/tank.jpg", {512, 512}},    {"vannscene/tykke_kabler.jpg", {256, 256}},
      {"vannscene/ytterstenger_og_skjermer.jpg", {512, 512}}, {"vegg.png", {512, 512}}};
  const auto found = sizes.find(name);
  return found == sizes.end() ? PictureSize{} : found->second;
}

std::string defaultDataDirectory() {
  std::string exeDir = executableDirectory();
  if (!exeDir.empty()) {
    std::error_code ec;
    std::filesystem::path beside = std::filesystem::path(exeDir) / "data";
    if (std::filesystem::is_directory(beside, ec))
      return beside.string();
  }
  return "data";
}

} // namespace demo
