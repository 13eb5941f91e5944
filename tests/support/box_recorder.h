// box_recorder.h - message boxes caught instead of shown.
//
// While a RecordedBoxes lives, message boxes are switched on and every box
// the show would pop up is recorded instead (text, caption, owner). It puts
// SDL's box function back and switches boxes off when it goes.
#pragma once

#include <string>
#include <vector>

#include "base/message.h"

namespace demo::test {

struct RecordedBox {
  std::string text, caption;
  SDL_Window *owner;
};

class RecordedBoxes {
public:
  RecordedBoxes() {
    boxes().clear();
    setMessageBoxFunction(&record);
    setMessageBoxesEnabled(true);
  }
  ~RecordedBoxes() {
    setMessageBoxesEnabled(false);
    setMessageBoxFunction(nullptr);
  }
  RecordedBoxes(const RecordedBoxes &) = delete;
  RecordedBoxes &operator=(const RecordedBoxes &) = delete;

  const std::vector<RecordedBox> &all() const { return boxes(); }

private:
  static std::vector<RecordedBox> &boxes() {
    static std::vector<RecordedBox> recorded;
    return recorded;
  }
  static void record(const char *text, const char *caption, SDL_Window *owner) {
    boxes().push_back({text, caption, owner});
  }
};

} // namespace demo::test
