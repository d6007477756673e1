#include "receiver/SetCompare.h"

#include <QDir>
#include <QFileInfo>

#include "ProgramInfo.h"
#include "files/Files.h"

namespace params {

TParamImage ImageWithSet(TValues values, const TParamImage& receiver) {
  values.Ser1 = receiver[kSerHiByte];
  values.Ser2 = receiver[kSerLoByte];
  TParamImage image = ImageForWrite(values, receiver[kOperatorByte]);
  image[0] = receiver[0];
  image[1] = receiver[1];
  image[kOrderByte] = receiver[kOrderByte];
  return image;
}

TParamImage WriteImageOfSet(TValues values, const TParamImage& receiver, std::uint8_t operatorCode) {
  values.Ser1 = receiver[kSerHiByte];
  values.Ser2 = receiver[kSerLoByte];
  return ImageForWrite(values, operatorCode);
}

bool SameValue(const std::string& text, const std::string& held) {
  try {
    return StrToInt(text) == StrToInt(held);
  } catch (const EConvertError&) {
    return text == held;
  }
}

std::vector<TFieldDifference> DifferingFields(const TTexts& shown, const TParamImage& receiver) {
  TParamImage asShown = receiver;
  ReadOutSelection(asShown);  // as the read-out showed it
  const TTexts held = ImageTexts(asShown);
  std::vector<TFieldDifference> out;
  ForEachField(
      [&](const std::string& name, const std::string& text, const std::string& heldText) {
        if (!SameValue(text, heldText)) out.push_back({name, FieldLabel(name), text, heldText});
      },
      shown, held);
  return out;
}

std::vector<TFieldDifference> SetFileDifferences(const TValues& values, const TParamImage& receiver) {
  TParamImage shown = ImageWithSet(values, receiver);
  ReadOutSelection(shown);
  return DifferingFields(ImageTexts(shown), receiver);
}

TValues LoadSetFile(const QString& fileName) {
  // No more than a set file may hold, and one byte to tell a larger one. A
  // FIFO or a device is refused without waiting on it.
  std::string why;
  const std::optional<std::string> bytes = files::ReadRegularFile(fileName, kSetFileMaxBytes + 1, &why);
  if (!bytes)
    throw ESetFileUnreadable("Soubor " + QDir::toNativeSeparators(fileName).toStdString() + " nelze otevřít: " + why);
  return ReadSetFile(*bytes);
}

std::string SetFileRefusal(const QString& fileName, const ESetFile& refusal) {
  std::string name = Printable(QFileInfo(fileName).fileName().toStdString());
  const QString shown = QString::fromStdString(name);
  // A long name without its middle.
  if (shown.size() > 40) name = (shown.left(19) + QStringLiteral("…") + shown.right(20)).toStdString();
  return "Soubor " + name + ", řádek " + std::to_string(refusal.Line()) + ":\n" + refusal.what();
}

std::string SetFileName(int serial) { return "prijimac-" + std::to_string(serial) + ".q5r"; }

std::string BackupFileName(int serial, const std::string& moment) {
  return "prijimac-" + std::to_string(serial) + "-" + moment + ".q5r";
}

TValues ValuesOfReadOut(const TParamImage& receiver) {
  TParamImage shown = receiver;
  ReadOutSelection(shown);
  const TTexts texts = ImageTexts(shown);
  TValues values;
  ForEachField([](const std::string&, const std::string& text, int& value) { value = StrToIntPrefix(text); }, texts,
               values);
  return values;
}

std::string SetFileOf(const TValues& values, const TParamImage& receiver, bool damaged, const std::string& savedAt) {
  TSetOrigin origin;
  origin.SerialHi = receiver[kSerHiByte];
  origin.SerialLo = receiver[kSerLoByte];
  origin.OperatorCode = receiver[kOperatorByte];
  origin.WriteOrder = receiver[kOrderByte];
  origin.SavedAt = savedAt;
  origin.ProgramVersion = ZOV_VERSION;
  origin.FromDamagedReply = damaged;
  return SetFileText(values, origin);
}

}  // namespace params
