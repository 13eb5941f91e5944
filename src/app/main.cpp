// The show's entry point: parse the command line, then run the show.
#include "app/main_loop.h"
#include "app/options.h"

int main(int argc, char **argv) {
  demo::Options options;
  int exitCode = 0;
  if (!demo::parseOptions(argc, argv, options, exitCode))
    return exitCode;
  return demo::runShow(options);
}
