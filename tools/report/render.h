// The report's three forms: a plain-text table, CSV, and one self-contained
// HTML page with inline SVG figures.
#pragma once
#include <cstdio>
#include <vector>

#include "tools/report/parse.h"
#include "tools/report/summary.h"

namespace rngreport {

struct Row {
  const ResultSet* set;
  Summary summary;
};

std::vector<Row> summarize_all(const Report& report);

void write_text(std::FILE* out, const std::vector<Row>& rows);
void write_csv(std::FILE* out, const std::vector<Row>& rows);
void write_html(std::FILE* out, const std::vector<Row>& rows);

}  // namespace rngreport
