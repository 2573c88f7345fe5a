#include "generators/xorshift128.h"
#include "tests/lag.h"

int main(int argc, char** argv) { return lag_run<Xor128>(argc, argv); }
