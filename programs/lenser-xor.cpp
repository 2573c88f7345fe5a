#include "generators/xorshift128.h"
#include "tests/run_length.h"

// The one xorshift128 program seeded with the folded two-word derivation.
int main(int argc, char** argv) { return lenser_run<Xor128Fold>(argc, argv); }
