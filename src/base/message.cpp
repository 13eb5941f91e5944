#include "base/message.h"

#include "base/process_state.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace demo {

namespace {

void sdlBox(const char *text, const char *caption, SDL_Window *owner) {
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owner);
}

// The messages' part of the process's state (process_state.h says why it
// is process-wide).
ProcessState::Messages &messages() { return processState().messages; }

} // namespace

void setMessageBoxesEnabled(bool enabled) { messages().boxesEnabled = enabled; }
bool messageBoxesEnabled() { return messages().boxesEnabled; }

bool messageBoxesWanted(const char *driver) {
  const char *off = std::getenv("DEMO_NO_MESSAGE_BOXES");
  if (off && *off && std::strcmp(off, "0") != 0)
    return false;
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "") != 0;
}

void setMessageOwner(SDL_Window *window) { messages().owner = window; }
SDL_Window *messageOwner() { return messages().owner; }

void setMessageBoxFunction(MessageBoxFunction function) { messages().showBox = function; }

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
  const ProcessState::Messages &state = messages();
  if (state.boxesEnabled)
    (state.showBox ? state.showBox : &sdlBox)(text, caption, owner ? owner : state.owner);
}

bool firstReportFor(const std::string &path) {
  std::lock_guard<std::mutex> lock(messages().reportedMutex);
  return messages().reportedFiles.insert(path).second;
}

bool reportFileProblem(const std::string &path, const std::string &what) {
  if (!firstReportFor(path))
    return false;
  std::fprintf(stderr, "%s: %s\n", path.c_str(), what.c_str());
  std::fflush(stderr);
  return true;
}

void forgetReportedFiles() {
  std::lock_guard<std::mutex> lock(messages().reportedMutex);
  messages().reportedFiles.clear();
}

} // namespace demo
