#include "generators/mt19937.h"
#include "tests/throughput.h"

int main(int argc, char** argv) { return throughput_run<Mt>(argc, argv); }
