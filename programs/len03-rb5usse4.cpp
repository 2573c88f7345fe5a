#include "generators/rb5u.h"
#include "tests/run_length.h"

int main(int argc, char** argv) { return len03_run<Rb5uSse4>(argc, argv); }
