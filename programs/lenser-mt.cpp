#include "generators/mt19937.h"
#include "tests/run_length.h"

int main(int argc, char** argv) { return lenser_run<Mt>(argc, argv); }
