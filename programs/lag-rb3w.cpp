#include "generators/rb3w.h"
#include "tests/lag.h"

int main(int argc, char** argv) { return lag_run<Rb3w>(argc, argv); }
