#include "unittests/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string program_path(const std::string& name) { return std::string(SUITE_BIN_DIR) + "/" + name; }

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       int stop_after_lines, const std::string& stdin_path) {
  StopWhen stop;
  if (stop_after_lines >= 0)
    stop = [stop_after_lines](const std::string& out) {
      return std::count(out.begin(), out.end(), '\n') >= stop_after_lines;
    };
  return run_program(argv, dir, stop, stdin_path);
}

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       const StopWhen& stop, const std::string& stdin_path) {
  return run_program(argv, dir, stop, StopWhen(), stdin_path);
}

namespace {

// The standard error written so far, read without moving the shared offset.
std::string read_from_start(int fd) {
  std::string text;
  char buffer[4096];
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  return text;
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir,
                       const StopWhen& stop, const StopWhen& stop_err,
                       const std::string& stdin_path) {
  ProgramRun run;
  int out_pipe[2];
  if (pipe(out_pipe) != 0) return run;
  char err_name[] = "/tmp/e2e-stderr-XXXXXX";
  const int err_fd = mkstemp(err_name);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in_fd = open(stdin_path.empty() ? "/dev/null" : stdin_path.c_str(), O_RDONLY);
    dup2(in_fd, 0);
    dup2(out_pipe[1], 1);
    dup2(err_fd, 2);
    close(out_pipe[0]);
    if (chdir(dir.c_str()) != 0) _exit(127);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string path = argv[0].find('/') == std::string::npos ? program_path(argv[0]) : argv[0];
    execv(path.c_str(), args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  char buffer[4096];
  for (;;) {
    if (stop_err) {
      // Wait for output briefly, then look at standard error.
      pollfd out = {out_pipe[0], POLLIN, 0};
      const int ready = poll(&out, 1, 5);
      if (stop_err(read_from_start(err_fd))) {
        kill(pid, SIGKILL);
        run.stopped = true;
        break;
      }
      if (ready == 0) continue;
    }
    const ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
    if (n <= 0) break;
    run.out.append(buffer, static_cast<size_t>(n));
    if (stop && stop(run.out)) {
      kill(pid, SIGKILL);
      run.stopped = true;
      break;
    }
  }
  close(out_pipe[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.max_rss_kib = usage.ru_maxrss;
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  run.err = read_file(err_name);
  close(err_fd);
  unlink(err_name);
  return run;
}

TempDir::TempDir() {
  char name[] = "/tmp/e2e-XXXXXX";
  path_ = mkdtemp(name);
}

TempDir::~TempDir() {
  const std::string command = "chmod -R u+w '" + path_ + "' && rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}
