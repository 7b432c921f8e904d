#pragma once
// A disk that fills up, for the tests of what a writer does then: while one of these
// lives, this process (and what it starts) cannot make any file larger than the limit;
// a write past it fails with EFBIG ("File too large") instead of ending the process.
#include <sys/resource.h>

#include <csignal>
#include <cstddef>

class FileSizeLimit {
public:
  explicit FileSizeLimit(std::size_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit before_{};
  void (*previousHandler_)(int) = SIG_DFL;
};
