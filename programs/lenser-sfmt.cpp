#include "generators/sfmt.h"
#include "tests/run_length.h"

int main(int argc, char** argv) { return lenser_run<Sfmt>(argc, argv); }
