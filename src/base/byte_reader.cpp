#include "base/byte_reader.h"

#include <cstdio>
#include <memory>

namespace demo {

bool readWholeFile(const std::string &path, std::vector<uint8_t> &out) {
  out.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file)
    return false;
  uint8_t buffer[65536];
  for (;;) {
    size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    out.insert(out.end(), buffer, buffer + n);
    if (n < sizeof buffer)
      break;
  }
  return std::ferror(file.get()) == 0;
}

bool writeWholeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file)
    return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    return false;
  return std::fflush(file.get()) == 0;
}

} // namespace demo
