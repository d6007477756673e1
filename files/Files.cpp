#include "files/Files.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

namespace {

// Why a file of this kind is not taken for a regular one.
std::string NotRegular(mode_t mode) {
  if (S_ISFIFO(mode)) return "je to pojmenovaná roura (FIFO), ne obyčejný soubor";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "je to zařízení, ne obyčejný soubor";
  if (S_ISDIR(mode)) return "je to složka, ne obyčejný soubor";
  if (S_ISSOCK(mode)) return "je to soket, ne obyčejný soubor";
  return "není to obyčejný soubor";
}

bool Fail(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return false;
}

// Whether path may be replaced by a whole file: "" when it is a regular file
// or names nothing yet, otherwise why not.
std::string RefusedTarget(const QByteArray& path) {
  struct stat st {};
  if (::stat(path.constData(), &st) == 0) return S_ISREG(st.st_mode) ? std::string() : NotRegular(st.st_mode);
  const int error = errno;
  if (error != ENOENT) return std::strerror(error);
  // A symlink that leads nowhere: saving through it would make a file
  // wherever it points, or replace the link.
  if (::lstat(path.constData(), &st) == 0) return "je to odkaz, který nikam nevede";
  return std::string();  // a new name (a missing folder shows when the file is made)
}

// Opens path with flags after checking that it is a regular file, and checks
// again what was opened, in case it was replaced meanwhile. O_NONBLOCK: even
// that moment's replacement by a FIFO cannot make the open wait.
int OpenRegular(const char* path, int flags, std::string* why) {
  struct stat st {};
  if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
    Fail(why, NotRegular(st.st_mode));
    return -1;
  }
  const int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(why, std::strerror(errno));
    return -1;
  }
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    Fail(why, known ? NotRegular(st.st_mode) : std::string(std::strerror(errno)));
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string ErrorOf(const QFileDevice& file) {
  const std::string error = file.errorString().toStdString();
  return error.empty() ? "nelze zapsat" : error;
}

// Writes bytes whole; "" or why not. A write that the file system cuts
// short is taken up again, so that the failure shows with the system's
// reason (a full disk, a file size limit).
std::string WriteAll(QFileDevice& file, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const qint64 n = file.write(bytes.data() + done, qint64(bytes.size() - done));
    if (n <= 0) return ErrorOf(file);
    done += std::size_t(n);
  }
  return std::string();
}

}  // namespace

void IgnoreWriteSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool SaveWholeFile(const QString& fileName, std::string_view bytes, std::string* why) {
  const QByteArray path = QFile::encodeName(fileName);
  if (std::string refused = RefusedTarget(path); !refused.empty()) return Fail(why, refused);
  QSaveFile file(fileName);
  // Unbuffered: a write that the file system cuts short (a full disk, a file
  // size limit) shows here. Buffered, it would show only when the buffer is
  // flushed while committing, and QSaveFile would commit the cut file.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Fail(why, ErrorOf(file));
  std::string failure = WriteAll(file, bytes);
  // What the name stands for may have changed while the file was written.
  if (failure.empty()) failure = RefusedTarget(path);
  if (failure.empty() && !file.commit()) failure = ErrorOf(file);
  if (failure.empty()) return true;
  // Nothing was renamed over the old file; the temporary one is gone.
  file.cancelWriting();
  return Fail(why, failure);
}

std::optional<std::string> ReadRegularFile(const QString& fileName, std::size_t maxBytes, std::string* why) {
  const int fd = OpenRegular(QFile::encodeName(fileName).constData(), O_RDONLY, why);
  if (fd < 0) return std::nullopt;
  std::string bytes(maxBytes, '\0');
  std::size_t got = 0;
  while (got < maxBytes) {
    const ssize_t n = ::read(fd, bytes.data() + got, maxBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      Fail(why, std::strerror(error));
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

int OpenRegularForAppend(const std::string& path, std::string* why) {
  return OpenRegular(path.c_str(), O_RDWR | O_APPEND | O_CREAT, why);
}

}  // namespace files
