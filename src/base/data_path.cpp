#include "base/data_path.h"

#include "base/byte_reader.h"
#include "base/message.h"
#include "base/process_state.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace demo {

namespace {
// The run's data set is the process's (process_state.h says why).
std::string &dataDir() { return processState().data.directory; }
int &detailInUse() { return processState().data.detail; }
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

namespace {

// Every file the show loads, as the baker writes them (quintervale-bake --list),
// sorted, with a picture's size at detail 1 (0 x 0 for the other files).
struct SetFile {
  const char *name;
  int width, height;
};
const std::vector<SetFile> &setFiles() {
  static const std::vector<SetFile> files = {
      {"01.ogg", 0, 0},
      {"Box1CompleteMap.jpg", 1024, 1024},
      {"Box2CompleteMap.jpg", 1024, 1024},
      {"Box4CompleteMap.jpg", 1024, 1024},
      {"Box5CompleteMap.jpg", 1024, 1024},
      {"bgcomplete.jpg", 512, 256},
      {"bokstavscene.gsp", 0, 0},
      {"credits/code.png", 256, 128},
      {"credits/gfx1.png", 256, 128},
      {"credits/gfx2.png", 256, 128},
      {"credits/music.png", 256, 128},
      {"ekorn.jpg", 256, 256},
      {"endlogo.png", 512, 128},
      {"envmap_gummi.jpg", 256, 256},
      {"envmap_metaballs.jpg", 512, 512},
      {"envmap_old.jpg", 512, 512},
      {"final.gsp", 0, 0},
      {"flare.jpg", 256, 256},
      {"gang.gsp", 0, 0},
      {"greetings.png", 800, 600},
      {"grey.jpg", 256, 256},
      {"grid.ebr", 0, 0},
      {"gummi.ebr", 0, 0},
      {"kestranelogo3d.jpg", 512, 256},
      {"kubedritt.ebr", 0, 0},
      {"loadingbar.png", 514, 45},
      {"loadingscreen.jpg", 800, 600},
      {"logoscene.gsp", 0, 0},
      {"logotextcomplete.jpg", 512, 128},
      {"marker.jpg", 800, 680},
      {"metaballsfp.txt", 0, 0},
      {"ooo.jpg", 256, 256},
      {"overlays/logo_q.png", 800, 128},
      {"overlays/logo_qu.png", 800, 128},
      {"overlays/logo_qui.png", 800, 128},
      {"overlays/logo_quin.png", 800, 128},
      {"overlays/logo_quint.png", 800, 128},
      {"overlays/logo_quinte.png", 800, 128},
      {"overlays/logo_quinter.png", 800, 128},
      {"overlays/logo_quinterv.png", 800, 128},
      {"overlays/logo_quinterva.png", 800, 128},
      {"overlays/logo_quinterval.png", 800, 128},
      {"overlays/logo_quintervale.png", 800, 128},
      {"overlays/o_border.png", 128, 128},
      {"overlays/o_kestrane.png", 840, 160},
      {"overlays/scene-event.png", 432, 128},
      {"phong.jpg", 256, 256},
      {"poopscience.jpg", 256, 256},
      {"sq.jpg", 128, 128},
      {"tunnel.ebr", 0, 0},
      {"tunnel.jpg", 256, 256},
      {"ultramap.jpg", 256, 32},
      {"vannbump.jpg", 256, 256},
      {"vannscene.gsp", 0, 0},
      {"vannscene/aller_ytterste_stenger.jpg", 512, 512},
      {"vannscene/andre_stenger.jpg", 512, 512},
      {"vannscene/kabler_rundt_boks.jpg", 512, 512},
      {"vannscene/nedre_stenger.jpg", 256, 256},
      {"vannscene/takboks.jpg", 1024, 1024},
      {"vannscene/tank.jpg", 512, 512},
      {"vannscene/tykke_kabler.jpg", 256, 256},
      {"vannscene/ytterstenger_og_skjermer.jpg", 512, 512},
      {"vegg.png", 512, 512},
      {"yollspike.ebr", 0, 0},
  };
  return files;
}

} // namespace

const std::vector<std::string> &dataSetFiles() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const SetFile &file : setFiles())
      all.push_back(file.name);
    return all;
  }();
  return names;
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
  for (const SetFile &file : setFiles())
    if (name == file.name)
      return PictureSize{file.width, file.height};
  return PictureSize{};
}

std::vector<std::string> dataDirectoryCandidates(const std::string &exeDir) {
  std::vector<std::string> places;
  if (!exeDir.empty()) {
    const std::filesystem::path bin(exeDir);
    places.push_back((bin / "data").lexically_normal().string());
    // DEMO_PACKAGE_NAME is the install's folder under share/ (CMakeLists.txt).
    places.push_back((bin / ".." / "share" / DEMO_PACKAGE_NAME / "data").lexically_normal().string());
  }
  places.push_back("./data");
  return places;
}

std::string findDataDirectory(const std::vector<std::string> &candidates) {
  for (const std::string &dir : candidates)
    if (holdsDataSet(dir))
      return dir;
  return std::string();
}

std::string defaultDataDirectory() {
  const std::string found = findDataDirectory(dataDirectoryCandidates(executableDirectory()));
  return found.empty() ? std::string("./data") : found;
}

} // namespace demo
