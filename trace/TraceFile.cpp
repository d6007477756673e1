#include "trace/TraceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trace {

std::unique_ptr<TTraceFile> TTraceFile::Open(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<TTraceFile>(new TTraceFile(fd, path));
}

TTraceFile::~TTraceFile() { ::close(fd_); }

void TTraceFile::Data(TDirection direction, std::string_view bytes) {
  Write(DataLine(LocalTimeOfDay(std::chrono::system_clock::now()), direction, bytes));
}

void TTraceFile::Comment(std::string_view text) {
  Write(CommentLine(LocalTimeOfDay(std::chrono::system_clock::now()), text));
}

void TTraceFile::Write(const std::string& line) {
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A full disk must not stop the program: the line is lost, and the
      // operator hears of it once.
      if (!warned_.exchange(true))
        std::fprintf(stderr, "zov-q5r: cannot write the trace file %s: %s\n", path_.c_str(),
                     n < 0 ? std::strerror(errno) : "nothing written");
      return;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace trace
