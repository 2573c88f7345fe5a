#include "generators/rb5u.h"
#include "tests/throughput.h"

int main(int argc, char** argv) { return throughput_run<Rb5u>(argc, argv); }
