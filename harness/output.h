// Result text: format once into a fixed buffer, then write the same bytes to
// standard output and append them to the result file.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

template <size_t Capacity>
class TextBuffer {
 public:
  [[gnu::format(printf, 2, 3)]] void add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(data_ + size_, Capacity - size_, format, args);
    va_end(args);
    // A format that does not fit is a programming error: stop rather than truncate.
    if (n < 0 || static_cast<size_t>(n) >= Capacity - size_) overflow();
    size_ += static_cast<size_t>(n);
  }
  void clear() { size_ = 0; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  [[noreturn]] static void overflow() {
    std::fputs("internal error: result text exceeds its buffer\n", stderr);
    std::abort();
  }
  char data_[Capacity];
  size_t size_ = 0;
};

// Writes all of data to a file descriptor, resuming after short writes and
// interruptions; false on an error, with errno telling which.
bool write_all(int fd, const char* data, size_t size);

// Writes to standard output and flushes, so a person or a pipe sees it at once.
void print_now(const char* data, size_t size);

// Appends to a file in the working directory in one write, so that programs
// appending to the same file never interleave inside a trial's text. Reports a
// failure on standard error with the file name and reason; returns success.
bool append_to_file(const char* path, const char* data, size_t size);

template <size_t N>
void print_now(const TextBuffer<N>& text) {
  print_now(text.data(), text.size());
}

template <size_t N>
bool append_to_file(const char* path, const TextBuffer<N>& text) {
  return append_to_file(path, text.data(), text.size());
}

// A result file opened once for appending and written in one or more pieces.
// A failure to open or write is reported once on standard error with the file
// name and reason; later pieces are then skipped.
class AppendFile {
 public:
  explicit AppendFile(const char* path);
  ~AppendFile();  // closes the file if close() was not called
  // Closes the file; true when every piece reached it.
  bool close();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  void write(const char* data, size_t size);
  template <size_t N>
  void write(const TextBuffer<N>& text) {
    write(text.data(), text.size());
  }

 private:
  const char* path_;
  int fd_;
};

// The common case: the trial's text to standard output, then to its file.
template <size_t N>
void print_and_append(const TextBuffer<N>& text, const char* path) {
  print_now(text);
  append_to_file(path, text);
}
