// rngreport as a program: on the files the suite's programs really write, on
// a directory with damaged and foreign files, and its HTML page in a real
// browser.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "unittests/run_program.h"

namespace {

void write_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

size_t count_of(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

const char* const CHI_LINES =
    " k=     0 ChiSq= 250.125000\t\t2a,5b,0,0\t 1.250 sec\n"
    " k=     1 ChiSq= 270.500000\t\t3c,6d,0,0\t 2.500 sec\n"
    " k=     2 ChiSq= 239.000000\t\t4e,7f,0,0\t 3.750 sec\n";

// A results directory: a chi-square file cut off in its last line, a lag
// program's saved output, a time file and a foreign file.
void fill_results(const TempDir& dir) {
  write_file(dir.file("ChiTest7-xor.txt"), std::string(CHI_LINES) + " k=     3 ChiSq= 25");
  write_file(dir.file("lag-rb5u.log"),
             "lag-rb5u\t1\n"
             "Loop=\t   1024\t1.002604\t1.000000\t0.996094\t1.002604\t0.996094\ttime=\t"
             "  123.456\tsec\tOK 5\t0.000873\n");
  write_file(dir.file("LenTest03-xor-time.txt"), "12.345 sec\n");
  write_file(dir.file("notes.txt"), "nothing to see\n");
}

TEST(Rngreport, ReportsADirectoryAndItsDamage) {
  TempDir dir;
  fill_results(dir);
  const ProgramRun run = run_program({"rngreport", dir.path()}, dir.path());
  EXPECT_EQ(run.exit_code, 1) << run.err;  // something was reported on standard error
  EXPECT_EQ(run.err, "rngreport: " + dir.file("ChiTest7-xor.txt") +
                         ":4: truncated last line, ignored\n");
  const std::vector<std::string> lines = split_lines(run.out);
  ASSERT_GE(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[0].substr(0, 4), "file");
  EXPECT_EQ(lines[1].substr(0, 39), "ChiTest7-xor.txt  ChiTest7      xor    ");
  EXPECT_NE(lines[1].find("     3  "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2].substr(0, 30), "lag-rb5u.log      Lag         ");
  EXPECT_NE(run.out.find("chi-square, 255 dof"), std::string::npos);

  const ProgramRun named = run_program({"rngreport", "--csv", dir.file("notes.txt"),
                                        dir.file("lag-rb5u.log"), dir.file("missing.txt")},
                                       dir.path());
  EXPECT_EQ(named.exit_code, 1);
  EXPECT_NE(named.err.find("notes.txt: not a result file of the suite, skipped"),
            std::string::npos)
      << named.err;
  EXPECT_NE(named.err.find("missing.txt: cannot read: No such file or directory"),
            std::string::npos);
  const std::vector<std::string> csv = split_lines(named.out);
  ASSERT_EQ(csv.size(), 2u) << named.out;
  EXPECT_EQ(csv[0].substr(0, 25), "file,name,kind,tag,trials");
  EXPECT_NE(csv[1].find(",lag-rb5u.log,Lag,rb5u,1,"), std::string::npos) << csv[1];
}

TEST(Rngreport, CleanInputExitsZeroAndBadUsageTwo) {
  TempDir dir;
  write_file(dir.file("ChiTest8-mt.txt"), CHI_LINES);
  EXPECT_EQ(run_program({"rngreport", dir.file("ChiTest8-mt.txt")}, dir.path()).exit_code, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"rngreport"}, {"rngreport", "--html"}, {"rngreport", "--pdf", "x"}}) {
    const ProgramRun run = run_program(args, dir.path());
    EXPECT_EQ(run.exit_code, 2) << args.back();
    EXPECT_NE(run.err.find("usage: rngreport"), std::string::npos);
  }
}

// What the programs write, read back: one trial each of chi7-xor (stopped
// once its first line is in the file) and lenser-xor with one pass. (A
// bit-transition trial is 1.7e9 draws at the least: too long for this test;
// its lines are checked in the programs' format by the unit tests.)
TEST(Rngreport, ReadsWhatTheProgramsWrite) {
  TempDir dir;
  const std::string chi_file = dir.file("ChiTest7-xor.txt");
  // The standard-error check polls every few milliseconds: it stops the
  // program as soon as the first line is in the file.
  const auto line_in_file = [&](const std::string&) {
    return file_exists(chi_file) && read_file(chi_file).find('\n') != std::string::npos;
  };
  const ProgramRun chi = run_program({"chi7-xor"}, dir.path(), line_in_file, line_in_file);
  ASSERT_TRUE(chi.stopped || chi.exit_code == 0);
  ASSERT_EQ(run_program({"lenser-xor", "1", "1"}, dir.path()).exit_code, 0);
  const ProgramRun run = run_program({"rngreport", dir.path()}, dir.path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = split_lines(run.out);
  ASSERT_GE(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[1].substr(0, 52), "ChiTest7-xor.txt    ChiTest7      xor            1  ");
  EXPECT_EQ(lines[2].substr(0, 52), "LenTestSer-xor.txt  LenTestSer    xor            1  ");
  EXPECT_NE(run.out.find("for 4294967296 comparisons"), std::string::npos) << run.out;
}

// The page in a real browser: the DOM it builds holds the figures, and its
// rendering is far from a blank page.
TEST(Rngreport, HtmlPageRendersItsFiguresInChromium) {
  const char* browser = "/usr/bin/chromium";
  if (access(browser, X_OK) != 0)
    GTEST_SKIP() << "chromium is not installed at /usr/bin/chromium; .ci/run installs it";
  TempDir dir;
  fill_results(dir);
  const std::string page = dir.file("report.html");
  ASSERT_EQ(run_program({"rngreport", "--html", page, dir.path()}, dir.path()).exit_code, 1);
  const std::string html = read_file(page);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("src="), std::string::npos);

  auto chromium = [&](const std::string& what, const std::string& url) {
    return run_program({browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        "--user-data-dir=" + dir.file("profile"), "--window-size=1000,800", what,
                        url},
                       dir.path());
  };
  const ProgramRun dom = chromium("--dump-dom", "file://" + page);
  ASSERT_EQ(dom.exit_code, 0) << dom.err;
  // Two figures for each of the two files with trials, each with its bars
  // and the reference drawn over them.
  EXPECT_EQ(count_of(dom.out, "<svg"), 4u);
  EXPECT_EQ(count_of(dom.out, "<polyline class=\"reference\""), 2u);
  EXPECT_GE(count_of(dom.out, "<rect class=\"bar\""), 4u);
  EXPECT_NE(dom.out.find("<td class=\"v-normal\">normal</td>"), std::string::npos);

  write_file(dir.file("blank.html"), "<!DOCTYPE html><html><body></body></html>\n");
  ASSERT_EQ(chromium("--screenshot=" + dir.file("report.png"), "file://" + page).exit_code, 0);
  ASSERT_EQ(chromium("--screenshot=" + dir.file("blank.png"), "file://" + dir.file("blank.html"))
                .exit_code,
            0);
  const size_t report_png = read_file(dir.file("report.png")).size();
  const size_t blank_png = read_file(dir.file("blank.png")).size();
  EXPECT_GT(blank_png, 0u);
  EXPECT_GT(report_png, 5 * blank_png) << "the rendered page looks blank";
}

}  // namespace
