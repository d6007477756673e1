#pragma once
// The write log, zapisy.log in the program's data folder (folders/Folders.h,
// e.g. ~/.local/share/zov-q5r/): one record (writelog/WriteRecord.h)
// appended for every parameter or clock write. Each record goes to the file
// with one write on a descriptor opened for appending, so a crash can cut at
// most the record being written, never one before it; the next record ends
// a cut one first (kCutRecordMark). The file must be a regular one: a FIFO
// or a device of that name is refused, never waited on.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "writelog/WriteRecord.h"

namespace writelog {

// A record that could not be written: what() names the file and the reason.
class EWriteLog : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// <the program's data folder>/zapisy.log; empty when the account has no
// home, and so no data folder.
std::string LogPath();

// The detail line that ends a record an earlier append left cut, before the
// next record.
inline constexpr std::string_view kCutRecordMark = "  (záznam není celý: jeho zápis do souboru selhal)";

// Appends the record to the file at path, making the file and its folder
// when they are missing. Throws EWriteLog when it cannot.
void Append(const std::string& path, const TRecord& record);
// Appends to LogPath(); throws EWriteLog, saying so, when there is none.
void Append(const TRecord& record);

// The record of a write to a receiver that has just ended: now, the port,
// the receiver's serial number as far as known, no details yet.
TRecord RecordOfWrite(std::string kind, std::string port, std::optional<int> serial, TOutcome outcome);

}  // namespace writelog
