// quintervale-inspect: prints one JSON document describing a data file of the show
// (see inspect.h for the document and the exit status).
#include <iostream>

#include "inspect/inspect.h"

int main(int argc, char **argv) { return demo::runInspect(argc, argv, std::cout, std::cerr); }
