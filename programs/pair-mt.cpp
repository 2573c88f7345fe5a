#include "generators/mt19937.h"
#include "tests/bit_transition.h"

int main(int argc, char** argv) { return bit_transition_run<Mt>(argc, argv); }
