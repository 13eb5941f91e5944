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

bool holdsDataSet(const std::string &dir) {
  static const char *const kHallmarks[] = {"01.ogg", "loadingscreen.jpg", "loadingbar.png", "gang.gsp"};
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec))
    return false;
  for (const char *name : kHallmarks)
    if (std::filesystem::exists(std::filesystem::path(dir) / name, ec))
      return true;
  return false;
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
