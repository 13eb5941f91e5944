// data_path.h - where the show's files are.
//
// The show names its files as "data/<name>" everywhere (textures, scenes,
// meshes, the music). resolveDataPath maps that prefix onto the data
// directory in use, which the program picks at start-up: --data DIR, else the
// first that holds a set of data/ beside the executable, the installed
// share/quintervale/data and ./data (dataDirectoryCandidates); without --data, once
// the picture's size is known, the more detailed set beside it that the
// picture needs (chooseDataDirectory). Any other path (absolute paths in
// tests, for example) passes through unchanged.
#pragma once

#include <string>
#include <vector>

namespace demo {

// Sets the directory that "data/..." names refer to, and reads the set's
// detail (readDataDetail; a file it cannot take is reported once and the set
// is taken as detail 1). An empty string restores the default, the relative
// directory "data".
void setDataDirectory(const std::string &dir);
const std::string &dataDirectory();

// The detail of the set in use: its pictures hold detail x detail pixels for
// each pixel of the 800 x 600 picture they were designed for.
int dataDetail();

// A data set painted above detail 1 says so in this file: "2" or "4" and a
// line end. A set without it is detail 1.
inline constexpr const char *kDataDetailFile = "detail.txt";

// The detail of the set in `dir`: 1 without the file, else the number it
// holds. A file that does not hold 1, 2 or 4 (or cannot be read) gives 1, and
// `problem` says what is wrong with it.
int readDataDetail(const std::string &dir, std::string *problem);

// The more detailed sets live beside the detail-1 set: "<dir>-detail2" and
// "<dir>-detail4".
std::string detailedDataDirectory(const std::string &dir, int detail);

// The detail a picture of `renderScale` times 800 x 600 needs: 4 from a scale
// of 3, 2 from 1.5, else 1.
int detailForScale(float renderScale);

// The set to draw with when none was named: of `dir`'s detailed sets, the
// most detailed one that exists, holds a data set, says the detail its name
// says, and that detailForScale(renderScale) asks for; else `dir` itself.
std::string chooseDataDirectory(const std::string &dir, float renderScale);

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

// The size of a picture of the data set at detail 1 ("loadingscreen.jpg" is
// 800 x 600), by its name in the set; 0 x 0 for any other name. The show's
// loader checks each picture it reads from the set against this size times
// the set's detail.
struct PictureSize {
  int width = 0;
  int height = 0;
};
PictureSize dataSetPictureSize(const std::string &name);

// The places a data set is looked for when none is named, in order: data/
// beside the program (the build folder), ../share/quintervale/data from the
// program (an installed tree, wherever it was moved to), then ./data. With
// `exeDir` empty (the program's place unknown) only ./data is left.
std::vector<std::string> dataDirectoryCandidates(const std::string &exeDir);

// The first of `candidates` that holds a data set (holdsDataSet); "" when
// none does.
std::string findDataDirectory(const std::vector<std::string> &candidates);

// The data set the program finds by itself: findDataDirectory over the
// candidates beside the running executable, or "./data" when none holds one
// (the caller says so; holdsDataSet tells).
std::string defaultDataDirectory();

} // namespace demo
