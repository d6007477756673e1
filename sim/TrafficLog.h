#pragma once
// The simulated receiver's traffic log: every read and write on its line and
// every event, each with its moment, kept for tests and optionally written
// to a file as it happens. Plain C++; not thread-safe.
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "sim/ProtocolMachine.h"

namespace sim {

enum class Direction { Rx, Tx, Note };   // Rx: from the program; Tx: to it; Note: an event

struct TrafficEntry {
  Time at;
  std::chrono::system_clock::time_point wall;  // the same moment on the system clock
  double ms = 0;            // milliseconds since the line opened
  Direction dir = Direction::Note;
  std::string bytes;        // the bytes of one read or write; for a note its text
};

struct TimedByte {
  double ms = 0;
  std::uint8_t byte = 0;
};

class TrafficLog {
 public:
  // Counts milliseconds from `opened`; with a path, writes the log there too
  // (throws std::runtime_error when the file cannot be made).
  void Open(Time opened, const std::string& path);
  void Close();
  void Add(Direction dir, std::string bytes, Time at);
  void Clear() { entries_.clear(); }

  const std::vector<TrafficEntry>& Entries() const { return entries_; }
  std::vector<TimedByte> ReceivedBytes() const;
  std::string Bytes(Direction dir) const;   // every byte that went that way, in order
  std::vector<std::string> Notes() const;

 private:
  Time opened_{};
  std::ofstream file_;
  std::vector<TrafficEntry> entries_;
};

}  // namespace sim
