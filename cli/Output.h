#pragma once
// What the client prints. Data go to stdout: the text of a command, or with
// --json one JSON object a line. Messages go to stderr in Czech (UTF-8):
// the steps and outcomes unless -q, errors always ("zov-q5r-cli: ..."), and
// what asks the technician to act always. On a terminal the frame's
// progress is one line that rewrites itself; elsewhere each step is a line.
//
// A write that fails (a closed pipe, a full disk) never ends the program:
// the signals are ignored (files/Files.h) and the failure of stdout is kept
// for the end of the command, which reports it; stderr that cannot be
// written is given up quietly.
#include <string>
#include <string_view>

namespace cli {

class TJson;

class TOutput {
 public:
  // Descriptors 1 and 2 unless told otherwise (tests).
  TOutput(bool quiet, bool json, int stdoutFd = 1, int stderrFd = 2);

  bool Json() const { return json_; }
  bool Quiet() const { return quiet_; }
  bool Terminal() const { return terminal_; }

  // Data, as they are: bytes on stdout.
  void Data(std::string_view bytes);
  // A JSON object as a line of stdout.
  void JsonLine(const TJson& object);
  // A step or an outcome: a line on stderr, unless -q.
  void Info(std::string_view line);
  // A line that asks the technician to act (press reset, answer), or
  // answers an action of theirs: even with -q.
  void Notice(std::string_view line);
  // An error: every line of text on stderr after "zov-q5r-cli: ", and into
  // the line trace.
  void Error(std::string_view text);
  // The same, but not into the line trace (for the trace's own report).
  void ErrorUntraced(std::string_view text);
  // A question on stderr with no line end, the answer to follow.
  void Question(std::string_view text);
  // On a terminal and without -q: line in place of the progress line shown
  // (nothing elsewhere: the steps have their lines).
  void Progress(std::string_view line);

  // Whether stdout has failed, and why (the system's words).
  bool StdoutFailed() const { return !stdoutError_.empty(); }
  const std::string& StdoutError() const { return stdoutError_; }

 private:
  void ToStderr(std::string_view bytes);
  void EndProgress();

  bool quiet_, json_;
  int out_, err_;
  bool terminal_;
  bool stderrFailed_ = false;
  std::string stdoutError_;
  int progressColumns_ = 0;  // of the progress line shown, 0 when none
};

// Writes all of bytes to fd (again after a signal or a short write); false,
// errno set, when it fails.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace cli
