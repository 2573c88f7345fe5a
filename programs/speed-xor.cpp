#include "generators/xorshift128.h"
#include "tests/throughput.h"

int main(int argc, char** argv) { return throughput_run<Xor128>(argc, argv); }
