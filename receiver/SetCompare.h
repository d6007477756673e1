#pragma once
// A parameter set from a file against the connected receiver's: the image a
// file makes for that receiver, which fields differ, and the set files of a
// receiver's read-out. Plain C++ on the set's rules (ParamSet.h, ParamFile.h).
#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

#include "receiver/ParamFile.h"
#include "receiver/ParamSet.h"

namespace params {

// The image a set file shows for the connected receiver: the file's values
// with the receiver's own header, write order, serial number and operator
// code, as "Načíst sadu…" shows them.
TParamImage ImageWithSet(TValues values, const TParamImage& receiver);

// The image a write of the file's values sends to that receiver: the
// receiver's serial number is kept, everything else is the write's (the
// operator code of the login, the header, write order 0).
TParamImage WriteImageOfSet(TValues values, const TParamImage& receiver, std::uint8_t operatorCode);

// Whether a field's text stands for the receiver's value: the same number
// however it is written ("099" is 99), or else the same text.
bool SameValue(const std::string& text, const std::string& held);

// A field whose value differs from the receiver's: its name, its label and
// both texts.
struct TFieldDifference {
  std::string Field;  // "Dead"
  std::string Label;  // "Mrtvý čas"
  std::string Value;  // what the fields (or the file) hold
  std::string Held;   // what the receiver's read-out holds, as the read-out shows it
  bool operator==(const TFieldDifference&) const = default;
};
// The fields of shown that differ from the receiver's read-out as it shows
// it (either transmitter 0 makes both 0), in the dialog's tab order.
std::vector<TFieldDifference> DifferingFields(const TTexts& shown, const TParamImage& receiver);

// The fields in which a set file's values and the receiver's read-out
// differ, as "Načíst sadu…" marks them: the file's values shown for that
// receiver (ImageWithSet, as the read-out shows a set) against the
// read-out.
std::vector<TFieldDifference> SetFileDifferences(const TValues& values, const TParamImage& receiver);

// A set file that cannot be read at all (missing, a FIFO or a device, no
// permission): what() names it and says why.
class ESetFileUnreadable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// The values of the set file fileName, read whole and checked (ReadSetFile);
// ESetFileUnreadable when the file cannot be read, ESetFile at the first
// thing wrong in it. Never waits on a FIFO.
TValues LoadSetFile(const QString& fileName);
// "Soubor sada.q5r, řádek 7:" and the reason, one line each: what the
// operator reads of a set file refused (its name without its folder or its
// control characters).
std::string SetFileRefusal(const QString& fileName, const ESetFile& refusal);

// The name a set of the receiver with this serial number is offered under,
// "prijimac-4660.q5r".
std::string SetFileName(int serial);
// A backup's name: the serial number and the moment, "prijimac-4660-20261210-141503.q5r".
std::string BackupFileName(int serial, const std::string& moment);

// The set file of values for a receiver: the receiver's serial number,
// operator code and write order in its comments, and whether the receiver's
// reply was damaged; savedAt is the local date and time, "2026-05-03
// 14:22:05".
std::string SetFileOf(const TValues& values, const TParamImage& receiver, bool damaged, const std::string& savedAt);
// The values a read-out shows in the fields (either transmitter 0 makes both
// 0), as a set file takes them.
TValues ValuesOfReadOut(const TParamImage& receiver);

}  // namespace params
