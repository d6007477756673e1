#pragma once
// The trace file: opened for appending (made when missing), and every line
// handed to the system with one write as it comes, nothing held back in a
// buffer of the program's, so a crash loses no line written before it.
// Lines from several threads never mix: each is one write to a descriptor
// opened with O_APPEND. Plain C++.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "trace/TraceLine.h"

namespace trace {

class TTraceFile {
 public:
  // Null, with the system's reason in *error, when path cannot be opened
  // for writing.
  static std::unique_ptr<TTraceFile> Open(const std::string& path, std::string* error);
  ~TTraceFile();
  TTraceFile(const TTraceFile&) = delete;
  TTraceFile& operator=(const TTraceFile&) = delete;

  const std::string& Path() const { return path_; }

  // A data line or a comment line, stamped with the time it is called.
  void Data(TDirection direction, std::string_view bytes);
  void Comment(std::string_view text);

 private:
  void Write(const std::string& line);
  TTraceFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_;
  std::string path_;
  std::atomic<bool> warned_{false};  // a failed write has been told on stderr
};

}  // namespace trace
