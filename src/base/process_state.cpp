#include "base/process_state.h"

namespace demo {

ProcessState &processState() {
  static ProcessState state;
  return state;
}

} // namespace demo
