#include "writelog/WriteLog.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "files/Files.h"
#include "folders/Folders.h"

namespace writelog {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw EWriteLog("Záznam o zápisu nelze uložit do souboru " + path + ": " + why);
}

// What must come before a record appended to the file open on fd, so that
// it starts a record of its own. A complete record ends in a blank line; a
// file that ends otherwise holds a record that an earlier write left cut
// (a full disk, a file size limit), which is ended here, marked as cut, so
// that neither it nor this record is read as part of the other.
std::string EndOfCutRecord(int fd) {
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size <= 0) return std::string();
  char tail[2] = {0, 0};
  const std::size_t want = size >= 2 ? 2 : 1;
  if (::pread(fd, tail, want, size - off_t(want)) != ssize_t(want)) return "\n\n";  // cannot tell: end it
  if (want == 2 && tail[0] == '\n' && tail[1] == '\n') return std::string();
  return std::string(tail[want - 1] == '\n' ? "" : "\n") + std::string(kCutRecordMark) + "\n\n";
}

}  // namespace

std::string LogPath() {
  const std::filesystem::path data = folders::DataDir();
  return data.empty() ? std::string() : (data / "zapisy.log").string();
}

void Append(const std::string& path, const TRecord& record) {
  const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
  if (!QDir().mkpath(folder)) Fail(path, "složku nelze vytvořit");
  std::string why;
  const int fd = files::OpenRegularForAppend(path, &why);
  if (fd < 0) Fail(path, why);
  const std::string text = EndOfCutRecord(fd) + RecordText(record);
  // The whole record in one write: what is in the file before it stays as
  // it is, whatever becomes of this one. A write cut short is taken up
  // again, so that a failure shows with the system's reason (a full disk, a
  // file size limit); the next record ends what it leaves cut.
  int error = 0;
  for (std::size_t done = 0; done < text.size() && error == 0;) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) done += std::size_t(n);
    else error = n < 0 ? errno : ENOSPC;  // nothing taken: no room
  }
  ::close(fd);
  if (error != 0) Fail(path, std::strerror(error));
}

void Append(const TRecord& record) {
  const std::string path = LogPath();
  if (path.empty())
    throw EWriteLog(
        "Záznam o zápisu nelze uložit: účet nemá domovskou složku (proměnná HOME není nastavena a databáze "
        "uživatelů žádnou neuvádí), a tak ani datovou složku programu");
  Append(path, record);
}

TRecord RecordOfWrite(std::string kind, std::string port, std::optional<int> serial, TOutcome outcome) {
  TRecord record;
  record.At = std::chrono::system_clock::now();
  record.Kind = std::move(kind);
  record.Port = std::move(port);
  record.Serial = serial;
  record.Outcome = outcome;
  return record;
}

}  // namespace writelog
