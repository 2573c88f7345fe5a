#include "generators/xorshift128.h"
#include "tests/chi_square.h"

int main(int argc, char** argv) { return chi_square_run<ChiTest6, Xor128>(argc, argv); }
