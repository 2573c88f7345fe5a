#include "generators/xorshift128.h"
#include "tests/run_length.h"

int main(int argc, char** argv) { return len03_run<Xor128>(argc, argv); }
