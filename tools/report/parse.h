// Reading the files the suite's programs write: recognising each by its name
// and content, and turning every trial into a statistic and its p-value.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "tools/report/reference.h"

namespace rngreport {

struct Diagnostic {
  std::string file;
  int line = 0;  // 0: the file as a whole
  std::string message;
};

struct Trial {
  double statistic = 0;
  double p = 1;
  int line = 0;
};

// The trials of one file, or of one run of outData.txt.
struct ResultSet {
  std::string file;   // path as given
  std::string name;   // shown in the report
  std::string kind;   // ChiTest6, ChiTest7, ChiTest8, LenTest03, LenTestSer, BitTransition, Lag
  std::string tag;    // generator tag, "?" where the file does not say
  std::string note;   // parameters inferred from the file, if any
  std::shared_ptr<const Reference> reference;
  std::vector<Trial> trials;
};

struct Report {
  std::vector<ResultSet> sets;
  std::vector<Diagnostic> diagnostics;
};

enum class FileKind { chi_square, len03, len_serial, bit_transition, lag, companion, unknown };

// By name first ("ChiTest7-xor.txt", "LenTest03-xor.txt", "outData.txt", ...),
// then by the first non-empty line of the content.
FileKind recognise(const std::string& path, const std::string& text);

// Parses `text` as the contents of `path`. An unrecognised file is reported
// only when `named` (given on the command line rather than found in a
// directory); companion files (-time, -all) are skipped.
void read_result_text(const std::string& path, const std::string& text, bool named, Report& out);

// Reads a file or every regular file in a directory (in name order).
void read_path(const std::string& path, Report& out);

}  // namespace rngreport
