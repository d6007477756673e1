#pragma once
// The parameter set's sequences with the receiver, as the parameters dialog
// and the command-line client both run them: the read-out with its effects,
// the backup of what was read, and the write with its read-back, its outcome
// and its record in the write log.
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "receiver/ParamExchange.h"
#include "receiver/ParamVerify.h"
#include "writelog/WriteRecord.h"

namespace params {

// The read-out ("e"): the set cut from the reply, or nothing without an
// answer. Its effects: ParamImage holds the set, and a well-formed one gives
// the channel the receiver's serial number. A port error is thrown.
std::optional<TReadOut> ReadSet();

// A backup that could not be saved: what() says where and why.
class EBackup : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Saves the receiver's set as read (a set file, its comment saying when the
// reply was damaged) as zalohy/prijimac-<serial>-RRRRMMDD-hhmmss.q5r in the
// program's data folder; the file's path. Throws EBackup when it cannot.
std::string SaveBackup(const TParamImage& receiver, bool damaged);

// A write: what goes out, and what it replaces.
struct TSetWrite {
  TParamImage Image{};     // the frame's first 72 bytes
  TParamImage Receiver{};  // the read-out the write replaces (for the record)
  std::function<void(int byte)> OnByte;   // before byte i of the frame goes out
  std::function<void()> OnVerifying;      // the frame is out, the read-back starts
};

struct TSetWriteResult {
  writelog::TOutcome Outcome = writelog::TOutcome::Stopped;
  // NotVerified: what the read-back found (a port error in it: no answer).
  TVerification Verification;
  // What ended it early, for the caller's error display (a port error, a
  // stop); null when it ran to its end, or when the receiver gave no prompt
  // before the frame (Stopped with nothing sent after the carriage return).
  std::exception_ptr Error;
};

// The write: the carriage return and the prompt, "z", the frame paced byte
// by byte, then the set read back and compared. Nothing is thrown: the
// outcome is recorded in the write log (a record that cannot be written goes
// to the application's error display, the write standing), a verified write
// gives the channel the serial number written, and the result says the rest.
TSetWriteResult WriteSet(const TSetWrite& write);

}  // namespace params
