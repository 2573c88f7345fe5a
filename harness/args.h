// Command-line numbers read as atoi and atof read them, without their
// undefined behaviour: an integer too large for int saturates.
#pragma once

int parse_int(const char* text);
double parse_real(const char* text);
