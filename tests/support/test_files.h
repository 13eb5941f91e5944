// test_files.h - scratch files for tests.
//
// TempDir makes a fresh directory under the system's temporary directory and
// removes it with everything inside when it goes out of scope.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo::test {

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::string &path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string &name) const;

private:
  std::string path_;
};

void writeFile(const std::string &path, const std::vector<uint8_t> &bytes);
void writeFile(const std::string &path, const std::string &text);
std::vector<uint8_t> readFile(const std::string &path);

} // namespace demo::test
