#include "receiver/SetWrite.h"

#include <QDateTime>
#include <QDir>
#include <QString>

#include "files/Files.h"
#include "folders/Folders.h"
#include "link/Channel.h"
#include "receiver/SetCompare.h"
#include "serial/ComPort.h"
#include "writelog/WriteLog.h"

namespace params {

namespace {

// The write's record: the fields written that differ from the read-out, the
// outcome, and what a read-back that did not verify found, each line as the
// operator reads it in red.
void RecordWrite(const TSetWrite& write, const TSetWriteResult& result) {
  writelog::TRecord record =
      writelog::RecordOfWrite("parametry", Channel().OpenedPort(), Channel().ReceiverSerial(), result.Outcome);
  for (const TDifference& d : WriteDifferences(write.Image, write.Receiver))
    record.Details.push_back(writelog::ChangeLine(d.Name, d.Held, d.Written));
  if (record.Details.empty()) record.Details.push_back("beze změny");
  if (result.Outcome == writelog::TOutcome::NotVerified) {
    const TVerification& v = result.Verification;
    const std::string why = DescribeVerification(v, static_cast<int>(v.Differences.size()));
    for (std::size_t from = 0; from <= why.size();) {
      const std::size_t end = std::min(why.find('\n', from), why.size());
      record.Details.push_back("po zápisu: " + why.substr(from, end - from));
      from = end + 1;
    }
  }
  try {
    writelog::Append(record);
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
}

}  // namespace

std::optional<TReadOut> ReadSet() {
  std::optional<TReadOut> readOut = ReadParams();
  if (!readOut) return readOut;
  ParamImage = readOut->Image;
  // A damaged reply's serial number is no better than its other fields.
  if (readOut->WellFormed) Channel().SetReceiverSerial(SerialNumber(readOut->Image));
  return readOut;
}

std::string SaveBackup(const TParamImage& receiver, bool damaged) {
  const std::filesystem::path data = folders::DataDir();
  if (data.empty())
    throw EBackup("Zálohu parametrů nelze uložit: účet nemá domovskou složku, a tak ani datovou složku programu");
  const QDateTime now = QDateTime::currentDateTime();
  const std::filesystem::path path =
      data / "zalohy" /
      BackupFileName(SerialNumber(receiver), now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString());
  const std::string text =
      SetFileOf(ValuesOfReadOut(receiver), receiver, damaged,
                now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString());
  std::string why;
  if (!QDir().mkpath(QString::fromStdString(path.parent_path().string())))
    why = "složku nelze vytvořit";
  else if (files::SaveWholeFile(QString::fromStdString(path.string()), text, &why))
    return path.string();
  throw EBackup("Zálohu parametrů nelze uložit do souboru " + path.string() + ": " + why);
}

TSetWriteResult WriteSet(const TSetWrite& write) {
  using writelog::TOutcome;
  TSetWriteResult result;
  bool written = false;
  try {
    written = WriteParams(write.Image, write.OnByte);
  } catch (...) {
    result.Error = std::current_exception();
  }
  if (!written) {
    RecordWrite(write, result);
    return result;
  }
  // Written is not yet taken: the receiver's set is read back and compared.
  if (write.OnVerifying) write.OnVerifying();
  result.Outcome = TOutcome::NotVerified;
  try {
    result.Verification = VerifyParams(write.Image);
  } catch (...) {
    result.Error = std::current_exception();
    result.Verification = {TVerdict::NoAnswer, {}};
  }
  if (result.Verification.Verdict == TVerdict::Verified) result.Outcome = TOutcome::Verified;
  RecordWrite(write, result);
  // The receiver holds the serial number written (a technician may have
  // changed it): later records name it.
  if (result.Outcome == TOutcome::Verified) Channel().SetReceiverSerial(SerialNumber(write.Image));
  return result;
}

}  // namespace params
