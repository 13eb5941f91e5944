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

// Whether `dir` holds a data set at all: it is a directory with at least one
// of the files every data set has (the music, the loading screen, the
// corridor). A set with some files missing or damaged still counts; each such
// file is reported when it is loaded.
bool holdsDataSet(const std::string &dir);

// Chooses the default data directory: "<exe dir>/data" if it exists, else
// "data". Does not check that the chosen directory exists.
std::string defaultDataDirectory();

} // namespace demo
