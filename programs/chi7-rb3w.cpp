#include "generators/rb3w.h"
#include "tests/chi_square.h"

int main(int argc, char** argv) { return chi_square_run<ChiTest7, Rb3w>(argc, argv); }
