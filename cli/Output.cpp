#include "cli/Output.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "cli/Json.h"
#include "receiver/LineTrace.h"

namespace cli {

namespace {

const char* const kPrefix = "zov-q5r-cli: ";

// The columns a UTF-8 line takes on a terminal (Czech letters are one each).
int Columns(std::string_view line) {
  return static_cast<int>(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())).size());
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

TOutput::TOutput(bool quiet, bool json, int stdoutFd, int stderrFd)
    : quiet_(quiet), json_(json), out_(stdoutFd), err_(stderrFd), terminal_(::isatty(stderrFd) == 1) {}

void TOutput::Data(std::string_view bytes) {
  if (StdoutFailed() || bytes.empty()) return;
  if (!WriteAll(out_, bytes)) {
    // The system's words, as the locale has them, in UTF-8.
    stdoutError_ = QString::fromLocal8Bit(std::strerror(errno)).toStdString();
  }
}

void TOutput::JsonLine(const TJson& object) { Data(object.Text() + "\n"); }

void TOutput::ToStderr(std::string_view bytes) {
  if (stderrFailed_) return;
  EndProgress();
  if (!WriteAll(err_, bytes)) stderrFailed_ = true;
}

void TOutput::EndProgress() {
  if (!progressColumns_) return;
  const int columns = progressColumns_;
  progressColumns_ = 0;
  // The line is wiped, so what follows starts on a clean line.
  if (!WriteAll(err_, "\r" + std::string(static_cast<std::size_t>(columns), ' ') + "\r")) stderrFailed_ = true;
}

void TOutput::Info(std::string_view line) {
  if (!quiet_) Notice(line);
}

void TOutput::Notice(std::string_view line) { ToStderr(std::string(line) + "\n"); }

void TOutput::Question(std::string_view text) { ToStderr(text); }

void TOutput::Error(std::string_view text) {
  TraceError(std::string(text));
  ErrorUntraced(text);
}

void TOutput::ErrorUntraced(std::string_view text) {
  std::string lines;
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string_view line = text.substr(from, end - from);
    if (!line.empty()) lines += kPrefix + std::string(line) + "\n";
    from = end + 1;
  }
  ToStderr(lines);
}

void TOutput::Progress(std::string_view line) {
  if (quiet_ || !terminal_ || stderrFailed_) return;
  const int columns = Columns(line);
  std::string bytes = "\r" + std::string(line);
  // Whatever the line before showed beyond this one goes.
  if (progressColumns_ > columns) bytes += std::string(static_cast<std::size_t>(progressColumns_ - columns), ' ');
  if (!WriteAll(err_, bytes)) {
    stderrFailed_ = true;
    return;
  }
  progressColumns_ = std::max(columns, progressColumns_);
}

}  // namespace cli
