#include "base/message.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace demo {

namespace {

bool gBoxesEnabled = false;
SDL_Window *gOwner = nullptr;

void sdlBox(const char *text, const char *caption, SDL_Window *owner) {
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owner);
}

MessageBoxFunction gBoxFunction = &sdlBox;

// Loading runs on the main thread, but the list is cheap to guard.
std::mutex gReportedMutex;
std::set<std::string> &reportedFiles() {
  static std::set<std::string> files;
  return files;
}

} // namespace

void setMessageBoxesEnabled(bool enabled) { gBoxesEnabled = enabled; }
bool messageBoxesEnabled() { return gBoxesEnabled; }

bool messageBoxesWanted(const char *driver) {
  const char *off = std::getenv("DEMO_NO_MESSAGE_BOXES");
  if (off && *off && std::strcmp(off, "0") != 0)
    return false;
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "") != 0;
}

void setMessageOwner(SDL_Window *window) { gOwner = window; }
SDL_Window *messageOwner() { return gOwner; }

void setMessageBoxFunction(MessageBoxFunction function) { gBoxFunction = function ? function : &sdlBox; }

void showMessage(const char *text, const char *caption, SDL_Window *owner) {
  showMessage(text, caption, std::string(), owner);
}

void showMessage(const char *text, const char *caption, const std::string &detail, SDL_Window *owner) {
  text = text ? text : "";
  caption = caption ? caption : "";
  if (detail.empty())
    std::fprintf(stderr, "%s: %s\n", caption, text);
  else
    std::fprintf(stderr, "%s: %s (%s)\n", caption, text, detail.c_str());
  std::fflush(stderr);
  if (gBoxesEnabled)
    gBoxFunction(text, caption, owner ? owner : gOwner);
}

bool firstReportFor(const std::string &path) {
  std::lock_guard<std::mutex> lock(gReportedMutex);
  return reportedFiles().insert(path).second;
}

bool reportFileProblem(const std::string &path, const std::string &what) {
  if (!firstReportFor(path))
    return false;
  std::fprintf(stderr, "%s: %s\n", path.c_str(), what.c_str());
  std::fflush(stderr);
  return true;
}

void forgetReportedFiles() {
  std::lock_guard<std::mutex> lock(gReportedMutex);
  reportedFiles().clear();
}

} // namespace demo
