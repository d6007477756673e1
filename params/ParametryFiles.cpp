// The parameters dialog's files: the set files of "Uložit sadu…" and
// "Načíst sadu…" with the marks of the fields that differ from the
// receiver, and the write log's record of every write.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QStandardPaths>
#include <stdexcept>

#include "ProgramInfo.h"
#include "files/Files.h"
#include "link/Channel.h"
#include "receiver/ParamFile.h"
#include "receiver/ParamVerify.h"
#include "params/Parametry.h"
#include "serial/ComPort.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialog.h"
#include "ui/Question.h"
#include "writelog/WriteLog.h"

using namespace params;

namespace {

const char* const kSaveDamaged = "Hodnoty pocházejí z poškozené odpovědi přijímače. Přesto uložit?";
// The frame behind a field whose value from a set file differs from the
// receiver's: a dark orange, distinct from the signal colours, that shows
// as a thick dark border in grey too.
const QColor kMarkColor(215, 100, 0);
constexpr int kMarkWidth = 2;  // the rows and columns leave that much room

QString Filter() { return QStringLiteral("Sady parametrů (*.q5r)"); }

// A file's name for a message or the notice line: the name without its
// folder and its control characters, its middle left out when it is long.
QString ShortName(const QString& fileName) {
  const QString name = QString::fromStdString(Printable(QFileInfo(fileName).fileName().toStdString()));
  return name.size() <= 40 ? name : name.left(19) + QStringLiteral("…") + name.right(20);
}

QString DifferingText(int n) {
  const char* form = n == 1 ? "hodnota" : n >= 2 && n <= 4 ? "hodnoty" : "hodnot";
  return QStringLiteral("%1 %2 se liší od přijímače").arg(n).arg(QString::fromUtf8(form));
}

void SetBold(QWidget* field, bool bold) {
  QFont font = field->font();
  font.setBold(bold);
  field->setFont(font);
}

// The image a set file makes for the connected receiver: the file's values
// with the receiver's own header, write order, serial number and operator
// code.
TParamImage ImageWithSet(TValues values, const TParamImage& receiver) {
  values.Ser1 = receiver[kSerHiByte];
  values.Ser2 = receiver[kSerLoByte];
  TParamImage image = ImageForWrite(values, receiver[kOperatorByte]);
  image[0] = receiver[0];
  image[1] = receiver[1];
  image[kOrderByte] = receiver[kOrderByte];
  return image;
}

}  // namespace

QString TParametry::SetFolder() const {
  if (!setFolder_.isEmpty()) return setFolder_;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void TParametry::UlozitClick() {
  if (!readOutWellFormed_ && !AskYesNo(this, QString::fromUtf8(kSaveDamaged), TDefaultAnswer::No)) return;
  const std::optional<TValues> values = CheckedValues();
  if (!values) return;
  // What a set file cannot take would make a file that cannot be opened.
  if (const std::optional<TRefusal> refusal = CheckForSetFile(*values)) {
    Refuse(*refusal);
    return;
  }
  const int serial = receiverImage_[kSerHiByte] * 256 + receiverImage_[kSerLoByte];
  const QString offered = QDir(SetFolder()).filePath(QStringLiteral("prijimac-%1.q5r").arg(serial));
  const QString fileName =
      chooseFile_({true, QStringLiteral("Uložit sadu parametrů"), Filter(), QStringLiteral("q5r"), offered});
  if (fileName.isEmpty()) return;
  setFolder_ = QFileInfo(fileName).absolutePath();
  TSetOrigin origin;
  origin.SerialHi = receiverImage_[kSerHiByte];
  origin.SerialLo = receiverImage_[kSerLoByte];
  origin.OperatorCode = receiverImage_[kOperatorByte];
  origin.WriteOrder = receiverImage_[kOrderByte];
  origin.SavedAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
  origin.ProgramVersion = ZOV_VERSION;
  std::string why;
  if (!files::SaveWholeFile(fileName, SetFileText(*values, origin), &why))
    throw std::runtime_error("Sadu parametrů nelze uložit do souboru " +
                             QDir::toNativeSeparators(fileName).toStdString() + ": " + why);
  // Where it went; the next edit of a marked set brings the count back.
  ShowFileLine(QStringLiteral("Uloženo do "), QFileInfo(fileName).fileName(), QString());
}

void TParametry::NacistClick() {
  const QString fileName =
      chooseFile_({false, QStringLiteral("Načíst sadu parametrů"), Filter(), QStringLiteral("q5r"), SetFolder()});
  if (fileName.isEmpty()) return;
  setFolder_ = QFileInfo(fileName).absolutePath();
  // No more than a set file may hold, and one byte to tell a larger one. A
  // FIFO or a device is refused without waiting on it.
  std::string why;
  const std::optional<std::string> bytes = files::ReadRegularFile(fileName, kSetFileMaxBytes + 1, &why);
  if (!bytes)
    throw std::runtime_error("Soubor " + QDir::toNativeSeparators(fileName).toStdString() + " nelze otevřít: " + why);
  TValues values;
  try {
    values = ReadSetFile(*bytes);
  } catch (const ESetFile& e) {
    // Nothing of the file has reached the fields.
    MessageDialog().ShowText(QStringLiteral("Soubor %1, řádek %2:\n%3")
                                 .arg(ShortName(fileName))
                                 .arg(e.Line())
                                 .arg(QString::fromUtf8(e.what())));
    return;
  }
  TParamImage image = ImageWithSet(values, receiverImage_);
  ClearMarks();
  ShowImage(image);
  markedFile_ = QFileInfo(fileName).fileName();
  MarkDifferences();
}

namespace {

// Whether a field's text stands for the receiver's value: the same number
// however it is written ("099" is 99), or else the same text.
bool SameValue(const std::string& text, const std::string& held) {
  try {
    return StrToInt(text) == StrToInt(held);
  } catch (const EConvertError&) {
    return text == held;
  }
}

}  // namespace

void TParametry::MarkDifferences() {
  if (markedFile_.isEmpty()) return;
  RemoveMarks();
  TParamImage receiver = receiverImage_;
  ReadOutSelection(receiver);  // as the read-out showed it
  const TTexts shown = Texts();
  const TTexts held = ImageTexts(receiver);
  ForEachField(
      [this](const std::string& name, const std::string& text, const std::string& heldText) {
        if (SameValue(text, heldText)) return;
        QWidget* field = Field(name);
        auto* frame = new TPanel(this);
        frame->setObjectName(QString::fromStdString("Mark" + name));
        frame->SetFlat(true);
        frame->SetColor(kMarkColor);
        frame->setFocusPolicy(Qt::NoFocus);
        frame->setGeometry(field->geometry().adjusted(-kMarkWidth, -kMarkWidth, kMarkWidth, kMarkWidth));
        frame->stackUnder(field);
        frame->show();
        marks_.push_back(frame);
        SetBold(field, true);
        field->setToolTip(RangeTip(name) + QStringLiteral("\nV přijímači: ") + QString::fromStdString(heldText));
      },
      shown, held);
  ShowFileLine(QStringLiteral("Ze souboru "), markedFile_,
               QStringLiteral(": ") + DifferingText(static_cast<int>(marks_.size())));
}

void TParametry::ShowFileLine(const QString& before, const QString& name, const QString& after) {
  // The file's name shortened in its middle, so the line stays one line.
  const QFontMetrics metrics(FileNotice->font());
  const int room = FileNotice->width() - metrics.horizontalAdvance(before + after) - 12;
  FileNotice->SetCaption(before + metrics.elidedText(name, Qt::ElideMiddle, room) + after);
  FileNotice->show();
}

void TParametry::RemoveMarks() {
  for (TPanel* frame : marks_) {
    const std::string name = frame->objectName().mid(4).toStdString();
    QWidget* field = Field(name);
    SetBold(field, false);
    field->setToolTip(RangeTip(name));
    delete frame;
  }
  marks_.clear();
}

void TParametry::ClearMarks() {
  markedFile_.clear();
  RemoveMarks();
  FileNotice->hide();
}

void TParametry::RecordWrite(const TParamImage& written, writelog::TOutcome outcome,
                             const TVerification* verification) {
  writelog::TRecord record =
      writelog::RecordOfWrite("parametry", Channel().Port().Port(), Channel().ReceiverSerial(), outcome);
  for (const TDifference& d : WriteDifferences(written, receiverImage_))
    record.Details.push_back(writelog::ChangeLine(d.Name, d.Held, d.Written));
  if (record.Details.empty()) record.Details.push_back("beze změny");
  // What the read-back found, every field as the red text names it.
  if (verification && verification->Verdict != TVerdict::Verified) {
    std::string why = DescribeVerification(*verification, static_cast<int>(verification->Differences.size()));
    for (std::size_t from = 0; from <= why.size();) {
      const std::size_t end = std::min(why.find('\n', from), why.size());
      record.Details.push_back("po zápisu: " + why.substr(from, end - from));
      from = end + 1;
    }
  }
  Guarded([&] { writelog::Append(record); });
}
