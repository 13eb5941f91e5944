#include "base/data_path.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace demo {

namespace {
std::string &dataDir() {
  static std::string dir = "data";
  return dir;
}
} // namespace

void setDataDirectory(const std::string &dir) {
  std::string d = dir.empty() ? std::string("data") : dir;
  while (d.size() > 1 && d.back() == '/')
    d.pop_back();
  dataDir() = d;
}

const std::string &dataDirectory() { return dataDir(); }

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
