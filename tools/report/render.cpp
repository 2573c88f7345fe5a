#include "tools/report/render.h"

#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <string>

namespace rngreport {

namespace {

std::string format_p(double p) {
  char text[32];
  if (p >= 1e-4 || p == 0)
    std::snprintf(text, sizeof text, "%.4f", p);
  else
    std::snprintf(text, sizeof text, "%.1e", p);
  return text;
}

std::string csv_field(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string quoted = "\"";
  for (char c : s) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string html_escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void legend(std::FILE* out, const char* prefix) {
  std::fprintf(out,
               "%sverdict on q, the smallest of the KS, band, min-p and max-p p-values adjusted "
               "for four looks: normal q > %g, unusual > %g, suspicious > %g, very suspicious > "
               "%g, FAIL below\n",
               prefix, VERDICT_LIMIT[0], VERDICT_LIMIT[1], VERDICT_LIMIT[2], VERDICT_LIMIT[3]);
}

// A histogram as SVG bars in a w x h plot area, with an optional curve.
struct Plot {
  std::string svg;
  double x0, x1, y1;  // data ranges (y from 0)
  static constexpr double W = 440, H = 220, LEFT = 48, RIGHT = 12, TOP = 24, BOTTOM = 34;
  double px(double x) const { return LEFT + (x - x0) / (x1 - x0) * (W - LEFT - RIGHT); }
  double py(double y) const { return H - BOTTOM - y / y1 * (H - TOP - BOTTOM); }
};

void add(std::string& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void add(std::string& s, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  s += buffer;
}

std::string histogram_svg(const char* title, const std::vector<double>& values, double x0,
                          double x1, int bins, const Reference* reference, bool uniform_line) {
  std::vector<int> counts(bins, 0);
  for (double v : values) {
    int b = static_cast<int>((v - x0) / (x1 - x0) * bins);
    counts[std::clamp(b, 0, bins - 1)]++;
  }
  const double width = (x1 - x0) / bins;
  const double n = static_cast<double>(values.size());
  std::vector<std::pair<double, double>> curve;
  if (reference) {
    for (int i = 0; i <= 200; ++i) {
      const double x = x0 + (x1 - x0) * i / 200;
      curve.push_back({x, n * width * reference->pdf(x)});
    }
  }
  double top = 1;
  for (int c : counts) top = std::max(top, static_cast<double>(c));
  for (auto& [x, y] : curve) top = std::max(top, y);
  if (uniform_line) top = std::max(top, n / bins);
  Plot plot{"", x0, x1, top * 1.1};
  std::string& s = plot.svg;
  add(s, "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" width=\"%g\" height=\"%g\" "
         "viewBox=\"0 0 %g %g\">",
      Plot::W, Plot::H, Plot::W, Plot::H);
  add(s, "<text x=\"%g\" y=\"15\" class=\"title\">%s</text>", Plot::LEFT, title);
  for (int b = 0; b < bins; ++b) {
    if (counts[b] == 0) continue;
    const double a = plot.px(x0 + b * width), z = plot.px(x0 + (b + 1) * width);
    add(s, "<rect class=\"bar\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>", a,
        plot.py(counts[b]), std::max(0.5, z - a - 0.5), plot.py(0) - plot.py(counts[b]));
  }
  if (!curve.empty()) {
    s += "<polyline class=\"reference\" points=\"";
    for (auto& [x, y] : curve) add(s, "%.2f,%.2f ", plot.px(x), plot.py(y));
    s += "\"/>";
  }
  if (uniform_line) {
    add(s, "<line class=\"reference\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>",
        plot.px(x0), plot.py(n / bins), plot.px(x1), plot.py(n / bins));
  }
  // Axes with their end values.
  add(s, "<line class=\"axis\" x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\"/>", Plot::LEFT,
      plot.py(0), Plot::W - Plot::RIGHT, plot.py(0));
  add(s, "<line class=\"axis\" x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\"/>", Plot::LEFT,
      plot.py(0), Plot::LEFT, plot.py(plot.y1));
  add(s, "<text x=\"%g\" y=\"%g\">%.4g</text>", Plot::LEFT, Plot::H - 12, x0);
  add(s, "<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%.4g</text>", Plot::W - Plot::RIGHT,
      Plot::H - 12, x1);
  add(s, "<text x=\"%g\" y=\"%.2f\" text-anchor=\"end\">%.0f</text>", Plot::LEFT - 4,
      plot.py(top) + 4, top);
  add(s, "<text x=\"%g\" y=\"%.2f\" text-anchor=\"end\">0</text>", Plot::LEFT - 4, plot.py(0));
  s += "</svg>";
  return s;
}

}  // namespace

std::vector<Row> summarize_all(const Report& report) {
  std::vector<Row> rows;
  for (const ResultSet& set : report.sets) rows.push_back({&set, summarize(set.trials)});
  return rows;
}

void write_text(std::FILE* out, const std::vector<Row>& rows) {
  int name_width = 4;
  for (const Row& r : rows) name_width = std::max(name_width, static_cast<int>(r.set->name.size()));
  std::fprintf(out, "%-*s  %-13s %-9s %6s  %-9s %-7s %-9s %-9s %s\n", name_width, "file", "kind",
               "tag", "trials", "KS p", "in band", "min p", "max p", "verdict");
  for (const Row& r : rows) {
    const Summary& s = r.summary;
    char band[16] = "-";
    if (s.trials > 0) std::snprintf(band, sizeof band, "%.3f", s.band_fraction);
    std::fprintf(out, "%-*s  %-13s %-9s %6d  %-9s %-7s %-9s %-9s %s\n", name_width,
                 r.set->name.c_str(), r.set->kind.c_str(), r.set->tag.c_str(), s.trials,
                 s.trials ? format_p(s.ks_p).c_str() : "-", band,
                 s.trials ? format_p(s.min_p).c_str() : "-",
                 s.trials ? format_p(s.max_p).c_str() : "-", verdict_name(s.verdict));
  }
  std::fprintf(out, "\n");
  for (const Row& r : rows) {
    std::fprintf(out, "%s: p-values from %s", r.set->name.c_str(),
                 r.set->reference ? r.set->reference->describe().c_str() : "-");
    if (!r.set->note.empty()) std::fprintf(out, "; %s", r.set->note.c_str());
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "band: share of trials with %g <= p <= %g (0.98 expected)\n", BAND_LOW,
               BAND_HIGH);
  legend(out, "");
}

void write_csv(std::FILE* out, const std::vector<Row>& rows) {
  std::fprintf(out,
               "file,name,kind,tag,trials,ks_d,ks_p,in_band,band_fraction,band_p,min_p,max_p,"
               "min_p_level2,max_p_level2,q,verdict,reference,note\n");
  for (const Row& r : rows) {
    const Summary& s = r.summary;
    std::fprintf(out, "%s,%s,%s,%s,%d,%.6g,%.6g,%d,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%s,%s,%s\n",
                 csv_field(r.set->file).c_str(), csv_field(r.set->name).c_str(),
                 csv_field(r.set->kind).c_str(), csv_field(r.set->tag).c_str(), s.trials, s.ks_d,
                 s.ks_p, s.in_band, s.band_fraction, s.band_p, s.min_p, s.max_p, s.min_p_level2,
                 s.max_p_level2, s.q, verdict_name(s.verdict),
                 csv_field(r.set->reference ? r.set->reference->describe() : "").c_str(),
                 csv_field(r.set->note).c_str());
  }
}

void write_html(std::FILE* out, const std::vector<Row>& rows) {
  std::fputs(
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<title>rngreport</title><style>"
      "body{font-family:sans-serif;margin:1.5em;color:#222}"
      "table{border-collapse:collapse}td,th{padding:2px 8px;text-align:left}"
      "tr:nth-child(even){background:#f3f3f3}"
      "section{margin-top:2em}svg.plot{border:1px solid #ccc;margin-right:1em;font-size:11px}"
      ".bar{fill:#7aa6d6}.reference{fill:none;stroke:#c0392b;stroke-width:1.5}"
      ".axis{stroke:#444}.title{font-weight:bold}"
      ".v-normal{color:#1e7d32}.v-unusual{color:#9a7d0a}.v-suspicious,.v-very{color:#c0601a}"
      ".v-FAIL{color:#b00020;font-weight:bold}"
      "</style></head><body>\n<h1>Random number generator report</h1>\n",
      out);
  std::fputs("<table><tr><th>file</th><th>kind</th><th>tag</th><th>trials</th><th>KS p</th>"
             "<th>in band</th><th>min p</th><th>max p</th><th>verdict</th></tr>\n",
             out);
  for (const Row& r : rows) {
    const Summary& s = r.summary;
    const std::string verdict = verdict_name(s.verdict);
    std::fprintf(out,
                 "<tr><td>%s</td><td>%s</td><td>%s</td><td>%d</td><td>%s</td><td>%.3f</td>"
                 "<td>%s</td><td>%s</td><td class=\"v-%s\">%s</td></tr>\n",
                 html_escape(r.set->name).c_str(), html_escape(r.set->kind).c_str(),
                 html_escape(r.set->tag).c_str(), s.trials, format_p(s.ks_p).c_str(),
                 s.band_fraction, format_p(s.min_p).c_str(), format_p(s.max_p).c_str(),
                 verdict.substr(0, verdict.find(' ')).c_str(), verdict.c_str());
  }
  std::fputs("</table>\n<p>", out);
  legend(out, "");
  std::fputs("</p>\n", out);
  for (const Row& r : rows) {
    const ResultSet& set = *r.set;
    std::fprintf(out, "<section><h2>%s</h2><p>%s, generator %s, %d trials. Reference: %s%s%s.</p>\n",
                 html_escape(set.name).c_str(), html_escape(set.kind).c_str(),
                 html_escape(set.tag).c_str(), r.summary.trials,
                 set.reference ? html_escape(set.reference->describe()).c_str() : "-",
                 set.note.empty() ? "" : "; ", html_escape(set.note).c_str());
    if (set.trials.empty()) {
      std::fputs("</section>\n", out);
      continue;
    }
    std::vector<double> statistics, p;
    for (const Trial& t : set.trials) {
      statistics.push_back(t.statistic);
      p.push_back(t.p);
    }
    double lo = *std::min_element(statistics.begin(), statistics.end());
    double hi = *std::max_element(statistics.begin(), statistics.end());
    if (set.reference) {
      lo = std::min(lo, std::max(0.0, set.reference->mean() - 4 * set.reference->sd()));
      hi = std::max(hi, set.reference->mean() + 4 * set.reference->sd());
    }
    if (!(hi > lo)) hi = lo + 1;
    const std::string a = histogram_svg("trial statistic, reference density", statistics, lo, hi,
                                        40, set.reference.get(), false);
    const std::string b = histogram_svg("p-values, uniform expectation", p, 0, 1, 20, nullptr, true);
    std::fprintf(out, "<div>%s%s</div></section>\n", a.c_str(), b.c_str());
  }
  std::fputs("</body></html>\n", out);
}

}  // namespace rngreport
