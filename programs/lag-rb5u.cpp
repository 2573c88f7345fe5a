#include "generators/rb5u.h"
#include "tests/lag.h"

int main(int argc, char** argv) { return lag_run<Rb5u>(argc, argv); }
