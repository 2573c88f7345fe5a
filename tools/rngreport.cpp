// rngreport: reads the result files of the suite's programs and says what
// they mean: a p-value per trial, a second-level test per file and a graded
// verdict.
//
//   rngreport [--csv] [--html OUT.html] FILE|DIR...
//
// A directory stands for every result file in it. Files that cannot be read
// and lines that cannot be parsed are reported on standard error with the
// file name and line number; the rest is still reported. Exit status 0, or 1
// when something was reported on standard error, 2 on bad usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/report/parse.h"
#include "tools/report/render.h"

using namespace rngreport;

namespace {

int usage() {
  std::fputs("usage: rngreport [--csv] [--html OUT.html] FILE|DIR...\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool csv = false;
  const char* html = nullptr;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--csv") == 0) {
      csv = true;
    } else if (std::strcmp(argv[i], "--html") == 0) {
      if (++i >= argc) return usage();
      html = argv[i];
    } else if (std::strncmp(argv[i], "--", 2) == 0) {
      std::fprintf(stderr, "rngreport: unknown option %s\n", argv[i]);
      return usage();
    } else {
      paths.push_back(argv[i]);
    }
  }
  if (paths.empty()) return usage();

  Report report;
  for (const std::string& path : paths) read_path(path, report);
  for (const Diagnostic& d : report.diagnostics) {
    if (d.line > 0)
      std::fprintf(stderr, "rngreport: %s:%d: %s\n", d.file.c_str(), d.line, d.message.c_str());
    else
      std::fprintf(stderr, "rngreport: %s: %s\n", d.file.c_str(), d.message.c_str());
  }
  const std::vector<Row> rows = summarize_all(report);
  if (csv)
    write_csv(stdout, rows);
  else
    write_text(stdout, rows);
  int status = report.diagnostics.empty() ? 0 : 1;
  if (html) {
    std::FILE* f = std::fopen(html, "w");
    if (!f) {
      std::fprintf(stderr, "rngreport: cannot write %s: %s\n", html, std::strerror(errno));
      return 1;
    }
    write_html(f, rows);
    if (std::fclose(f) != 0) {
      std::fprintf(stderr, "rngreport: cannot write %s: %s\n", html, std::strerror(errno));
      status = 1;
    }
  }
  return status;
}
