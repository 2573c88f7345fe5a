#include "generators/mt19937.h"
#include "tests/run_length.h"

int main(int argc, char** argv) { return len03_run<Mt>(argc, argv); }
