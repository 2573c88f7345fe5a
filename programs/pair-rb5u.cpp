#include "generators/rb5u.h"
#include "tests/bit_transition.h"

int main(int argc, char** argv) { return bit_transition_run<Rb5u>(argc, argv); }
