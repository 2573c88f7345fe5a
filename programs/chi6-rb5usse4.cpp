#include "generators/rb5u.h"
#include "tests/chi_square.h"

int main(int argc, char** argv) { return chi_square_run<ChiTest6, Rb5uSse4>(argc, argv); }
