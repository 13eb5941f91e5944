#include "platform/message.h"

#include <SDL.h>
#include <cstdio>

namespace demo {

namespace {
bool gBoxesEnabled = false;
}

void setMessageBoxesEnabled(bool enabled) { gBoxesEnabled = enabled; }
bool messageBoxesEnabled() { return gBoxesEnabled; }

void showMessage(const char *text, const char *caption) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  if (gBoxesEnabled)
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption ? caption : "", text ? text : "", nullptr);
}

} // namespace demo
