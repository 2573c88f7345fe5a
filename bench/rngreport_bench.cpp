// rngreport: reading and summarizing 1000 chi-square lines and 256
// run-length trials (full size), from text in memory.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tools/report/parse.h"
#include "tools/report/summary.h"

namespace {

std::string chi_square_text() {
  std::string text;
  char line[160];
  for (int k = 0; k < 1000; ++k) {
    std::snprintf(line, sizeof line, " k= %5d ChiSq= %f\t\t%x,%x,%x,%x\t %.3f sec\n", k,
                  200.0 + (k * 37 % 1000) * 0.11, 0x1234u * k, 0x77u, 0, 0, k * 1.5);
    text += line;
  }
  return text;
}

std::string run_length_text() {
  std::string text;
  char line[160];
  for (int t = 0; t < 256; ++t) {
    double sum = 0, factor = 0.125;
    for (int length = 1; length <= 63; ++length, factor *= 0.5) {
      const double e = 8589934592.0 * factor;
      const double c0 = std::floor(e) + (length <= 20 ? (t * 7 + length) % 97 : 0);
      const double c1 = std::floor(e);
      if (length <= 30) sum += ((c0 - e) * (c0 - e) + (c1 - e) * (c1 - e)) / e;
      std::snprintf(line, sizeof line, "%d\t%16.3f\t%16.0f\t%16.0f\n", length, e, c0, c1);
      text += line;
    }
    std::snprintf(line, sizeof line, "KaiSq(1to30)= 0:%.3f, 1:%.3f, Sum:%.3f\n", sum, 0.0, sum);
    text += line;
  }
  return text;
}

void report(benchmark::State& state, const char* name, const std::string& text) {
  for (auto _ : state) {
    rngreport::Report r;
    rngreport::read_result_text(name, text, true, r);
    const rngreport::Summary s = rngreport::summarize(r.sets.at(0).trials);
    benchmark::DoNotOptimize(s.q);
  }
}

void BM_ReportChiSquare1000Lines(benchmark::State& state) {
  report(state, "ChiTest7-xor.txt", chi_square_text());
}
BENCHMARK(BM_ReportChiSquare1000Lines)->Unit(benchmark::kMillisecond);

// The first iteration includes building the run-length reference (once per
// process and size); the mean over iterations shows the reading.
void BM_ReportRunLength256Trials(benchmark::State& state) {
  report(state, "LenTest03-xor.txt", run_length_text());
}
BENCHMARK(BM_ReportRunLength256Trials)->Unit(benchmark::kMillisecond);

}  // namespace
