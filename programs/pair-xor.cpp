#include "generators/xorshift128.h"
#include "tests/bit_transition.h"

int main(int argc, char** argv) { return bit_transition_run<Xor128>(argc, argv); }
