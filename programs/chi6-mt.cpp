#include "generators/mt19937.h"
#include "tests/chi_square.h"

int main(int argc, char** argv) { return chi_square_run<ChiTest6, Mt>(argc, argv); }
