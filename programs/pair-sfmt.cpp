#include "generators/sfmt.h"
#include "tests/bit_transition.h"

int main(int argc, char** argv) { return bit_transition_run<Sfmt>(argc, argv); }
