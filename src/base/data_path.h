// data_path.h - where the show's files are.
//
// The show names its files as "data/<name>" everywhere (textures, scenes,
// meshes, the music). resolveDataPath maps that prefix onto the data
// directory in use, which the program picks once at start-up: --data DIR, else
// the data/ directory beside the executable, else ./data. Any other path
// (absolute paths in tests, for example) passes through unchanged.
#pragma once

#include <string>
#include <vector>

namespace demo {

// Sets the directory that "data/..." names refer to. An empty string restores
// the default, the relative directory "data".
void setDataDirectory(const std::string &dir);
const std::string &dataDirectory();

// "data/x.jpg" -> "<dataDirectory>/x.jpg"; anything else is returned as is.
std::string resolveDataPath(const char *path);

// The directory holding the running executable ("" when it cannot be found).
std::string executableDirectory();

// The files every data set has, relative to its directory ("01.ogg",
// "vannscene/tank.jpg", ...): each file the show loads, sorted.
const std::vector<std::string> &dataSetFiles();

// Whether `dir` holds a data set: it is a directory with more than half of
// dataSetFiles(). A set with a few files missing or damaged still counts, and
// each such file is reported when it is loaded; a directory with less (the
// music alone, a few stray pictures, nothing) is no data set, and the program
// says so once instead of reporting every absent file on its own.
bool holdsDataSet(const std::string &dir);

// Chooses the default data directory: "<exe dir>/data" if it exists, else
// "data". Does not check that the chosen directory exists.
std::string defaultDataDirectory();

} // namespace demo
