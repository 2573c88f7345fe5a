#include "generators/sfmt.h"
#include "tests/lag.h"

int main(int argc, char** argv) { return lag_run<SfmtSse2>(argc, argv); }
