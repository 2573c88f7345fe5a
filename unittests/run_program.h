// Runs a built program for end-to-end tests: in a given directory, with its
// standard output captured line by line, optionally stopped after N lines.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct ProgramRun {
  std::string out;    // standard output as read
  std::string err;    // standard error
  int exit_code = -1; // exit status, or -1 when stopped or killed by a signal
  bool stopped = false;  // stopped by the test (a stop condition held)
  long max_rss_kib = 0;  // peak resident memory of the program
};

// The path of a program in the build's bin directory.
std::string program_path(const std::string& name);

// Says, from the standard output read so far, when to stop the program.
using StopWhen = std::function<bool(const std::string& out)>;

// argv[0] is a program name (found in the build's bin directory) or a path.
// `stop` empty waits for the end; `stdin_path` empty means /dev/null.
ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       const StopWhen& stop, const std::string& stdin_path = "");

// As above, and also stops as soon as `stop_err` holds for the standard error
// written so far (checked every few milliseconds), for programs that write a
// line there long before their first result.
ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       const StopWhen& stop, const StopWhen& stop_err,
                       const std::string& stdin_path = "");

// Stops after `stop_after_lines` complete lines; < 0 waits for the end.
ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       int stop_after_lines = -1, const std::string& stdin_path = "");

// A fresh empty directory under /tmp, removed with its files by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);
