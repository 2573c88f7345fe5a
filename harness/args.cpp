#include "harness/args.h"

#include <climits>
#include <cstdlib>

int parse_int(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);  // saturates at LLONG_MIN/MAX
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double parse_real(const char* text) { return std::strtod(text, nullptr); }
