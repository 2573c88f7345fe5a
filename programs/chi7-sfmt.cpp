#include "generators/sfmt.h"
#include "tests/chi_square.h"

int main(int argc, char** argv) { return chi_square_run<ChiTest7, Sfmt>(argc, argv); }
