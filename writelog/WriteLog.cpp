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

std::optional<int> receiverSerial;

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw EWriteLog("Záznam o zápisu nelze uložit do souboru " + path + ": " + why);
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
  const std::string text = RecordText(record);
  // The whole record in one write: what is in the file before it stays as
  // it is, whatever becomes of this one.
  ssize_t written;
  do {
    written = ::write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  const int error = errno;
  ::close(fd);
  if (written < 0) Fail(path, std::strerror(error));
  if (static_cast<std::size_t>(written) != text.size()) Fail(path, "záznam se zapsal jen zčásti (plný disk?)");
}

void Append(const TRecord& record) {
  const std::string path = LogPath();
  if (path.empty())
    throw EWriteLog(
        "Záznam o zápisu nelze uložit: účet nemá domovskou složku (proměnná HOME není nastavena a databáze "
        "uživatelů žádnou neuvádí), a tak ani datovou složku programu");
  Append(path, record);
}

TRecord RecordOfWrite(std::string kind, std::string port, TOutcome outcome) {
  TRecord record;
  record.At = std::chrono::system_clock::now();
  record.Kind = std::move(kind);
  record.Port = std::move(port);
  record.Serial = receiverSerial;
  record.Outcome = outcome;
  return record;
}

void SetReceiverSerial(int serial) { receiverSerial = serial; }
void ForgetReceiver() { receiverSerial.reset(); }
std::optional<int> ReceiverSerial() { return receiverSerial; }

}  // namespace writelog
