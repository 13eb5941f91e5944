// data_path.h - where the show's files are.
//
// The show names its files as "data/<name>" everywhere (textures, scenes,
// meshes, the music). resolveDataPath maps that prefix onto the data
// directory in use, which the program picks once at start-up: --data DIR, else
// the data/ directory beside the executable, else ./data. Any other path
// (absolute paths in tests, for example) passes through unchanged.
#pragma once

#include <string>

namespace demo {

// Sets the directory that "data/..." names refer to. An empty string restores
// the default, the relative directory "data".
void setDataDirectory(const std::string &dir);
const std::string &dataDirectory();

// "data/x.jpg" -> "<dataDirectory>/x.jpg"; anything else is returned as is.
std::string resolveDataPath(const char *path);

// The directory holding the running executable ("" when it cannot be found).
std::string executableDirectory();

// Chooses the default data directory: "<exe dir>/data" if it exists, else
// "data". Does not check that the chosen directory exists.
std::string defaultDataDirectory();

} // namespace demo
