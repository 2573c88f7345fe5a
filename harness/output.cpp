#include "harness/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

void print_now(const char* data, size_t size) {
  std::fwrite(data, 1, size, stdout);
  std::fflush(stdout);
}

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

namespace {

void report(const char* path, const char* what, int error) {
  std::fprintf(stderr, "%s: cannot %s: %s\n", path, what, std::strerror(error));
}

}  // namespace

AppendFile::AppendFile(const char* path)
    : path_(path), fd_(open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)) {
  if (fd_ < 0) report(path_, "open for appending", errno);
}

void AppendFile::write(const char* data, size_t size) {
  if (fd_ < 0) return;
  if (!write_all(fd_, data, size)) {
    report(path_, "write", errno);
    ::close(fd_);
    fd_ = -1;
  }
}

bool AppendFile::close() {
  if (fd_ < 0) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    report(path_, "write", errno);
    return false;
  }
  return true;
}

AppendFile::~AppendFile() { close(); }

bool append_to_file(const char* path, const char* data, size_t size) {
  AppendFile file(path);
  file.write(data, size);
  return file.close();
}
