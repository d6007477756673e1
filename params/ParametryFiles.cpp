// The parameters dialog's files: the set files of "Uložit sadu…" and
// "Načíst sadu…" with the marks of the fields that differ from the
// receiver, and the write log's record of every write.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <stdexcept>

#include "ProgramInfo.h"
#include "files/Files.h"
#include "link/Channel.h"
#include "params/ParamFile.h"
#include "params/ParamVerify.h"
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
// folder, its middle left out when it is long.
QString ShortName(const QString& fileName) {
  const QString name = QFileInfo(fileName).fileName();
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
  if (!readOutWellFormed_ && !AskYesNo(this, QString::fromUtf8(kSaveDamaged))) return;
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
  const int differing = MarkDifferences(image);
  FileNotice->SetCaption(QStringLiteral("Ze souboru %1: ").arg(ShortName(fileName)) + DifferingText(differing));
  FileNotice->show();
}

int TParametry::MarkDifferences(const TParamImage& shown) {
  TParamImage receiver = receiverImage_;
  ReadOutSelection(receiver);  // as the read-out showed it
  const TTexts file = ImageTexts(shown);
  const TTexts held = ImageTexts(receiver);
  ForEachField(
      [this](const std::string& name, const std::string& fileText, const std::string& heldText) {
        if (fileText == heldText) return;
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
        field->setToolTip(QStringLiteral("V přijímači: ") + QString::fromStdString(heldText));
      },
      file, held);
  return static_cast<int>(marks_.size());
}

void TParametry::ClearMarks() {
  for (TPanel* frame : marks_) {
    QWidget* field = Field(frame->objectName().mid(4).toStdString());
    SetBold(field, false);
    field->setToolTip(QString());
    delete frame;
  }
  marks_.clear();
  FileNotice->hide();
}

void TParametry::RecordWrite(const TParamImage& written, writelog::TOutcome outcome) {
  writelog::TRecord record = writelog::RecordOfWrite("parametry", Channel().Port().Port(), outcome);
  for (const TDifference& d : WriteDifferences(written, receiverImage_))
    record.Details.push_back(writelog::ChangeLine(d.Name, d.Held, d.Written));
  if (record.Details.empty()) record.Details.push_back("beze změny");
  Guarded([&] { writelog::Append(record); });
}
