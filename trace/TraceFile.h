#pragma once
// The trace file: opened for appending (made when missing), and every line
// handed to the system with one write as it comes, nothing held back in a
// buffer of the program's, so a crash loses no line written before it.
// Lines from several threads never mix: each is one write to a descriptor
// opened with O_APPEND. Plain C++.
//
// What a trace may go to: a regular file, a pipe or a FIFO that a program
// reads (| less), a terminal to watch it in (a pseudo-terminal, a virtual
// console), or /dev/null. Never a serial port: the trace's lines would reach
// whatever is on the line (a receiver answers the command letters in them),
// nor any other device. The trace never holds the program up: a FIFO that
// nobody reads is refused, and a reader that stops taking lines (a full
// pipe), a reader gone, a full disk or a file size limit stop the trace,
// reported once; the program carries on without it.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "trace/TraceLine.h"

namespace trace {

class TTraceFile {
 public:
  // Null, with the reason in *error, when path cannot take the trace (see
  // above). A device is looked at before it is opened, so a serial port is
  // not even opened; a terminal is also refused when it is one of the
  // program's COM ports (portmap/PortNames.h).
  static std::unique_ptr<TTraceFile> Open(const std::string& path, std::string* error);
  ~TTraceFile();
  TTraceFile(const TTraceFile&) = delete;
  TTraceFile& operator=(const TTraceFile&) = delete;

  const std::string& Path() const { return path_; }

  // A data line or a comment line, stamped with the time it is called (or
  // the moment given), after a date line when the date or the offset from
  // UTC is not the one last written.
  void Data(TDirection direction, std::string_view bytes);
  void Comment(std::string_view text);
  void Data(TDirection direction, std::string_view bytes, std::chrono::system_clock::time_point at);
  void Comment(std::string_view text, std::chrono::system_clock::time_point at);

  // True when the trace goes to the device node at devicePath (a port that
  // opens it must stop the trace first).
  bool IsOnDevice(const std::string& devicePath) const;
  // Nothing more is written and the file is closed; why ("the trace file
  // ... cannot be written: Broken pipe") is reported, once for all stops.
  void Stop(const std::string& why);
  bool Stopped() const;

  // Who hears of the stop: a line on stderr unless replaced. Called with
  // the file's lock held: it must not use the file.
  void SetReporter(std::function<void(const std::string& message)> reporter);

 private:
  TTraceFile(int fd, std::string path, std::optional<dev_t> device);
  void Write(const std::string& line, const TLocalDate& date, const TTimeOfDay& time);
  bool WriteWhole(const std::string& line);  // false: stopped
  void StopLocked(const std::string& why);

  mutable std::mutex mu_;  // everything below
  int fd_;                 // -1 once stopped
  std::string path_;
  std::optional<dev_t> device_;  // the device behind a character device node
  std::optional<TLocalDate> date_;  // of the last date line written
  bool reported_ = false;
  std::function<void(const std::string&)> reporter_;
};

}  // namespace trace
