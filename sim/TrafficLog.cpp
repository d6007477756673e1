#include "sim/TrafficLog.h"

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace sim {

void TrafficLog::Open(Time opened, const std::string& path) {
  opened_ = opened;
  if (path.empty()) return;
  file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file_) throw std::runtime_error("cannot create the traffic log " + path);
  file_ << "# zov-receiver-sim traffic log: ms since start, rx (from the program) / tx (to it) / -- note,"
           " bytes in hex, then as text\n";
}

void TrafficLog::Close() {
  if (file_.is_open()) file_.close();
}

void TrafficLog::Add(Direction dir, std::string bytes, Time at) {
  TrafficEntry e;
  e.at = at;
  e.wall = std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::steady_clock::now() - at);
  e.ms = std::chrono::duration<double, std::milli>(at - opened_).count();
  e.dir = dir;
  e.bytes = std::move(bytes);
  if (file_.is_open()) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%11.3f", e.ms);
    const char* tag = dir == Direction::Rx ? "rx" : dir == Direction::Tx ? "tx" : "--";
    if (dir == Direction::Note) {
      file_ << stamp << ' ' << tag << ' ' << e.bytes << '\n';
    } else {
      // Rows of 16 bytes: hex, then the bytes as text with control bytes escaped.
      for (std::size_t i = 0; i < e.bytes.size(); i += 16) {
        const std::string_view row = std::string_view(e.bytes).substr(i, 16);
        std::string hex;
        for (char c : row) hex += Hex2(static_cast<std::uint8_t>(c)) + ' ';
        hex.resize(48, ' ');
        file_ << (i == 0 ? std::string(stamp) + ' ' + tag : std::string(14, ' ')) << ' ' << hex << '|'
              << Printable(row) << "|\n";
      }
    }
    file_.flush();
  }
  entries_.push_back(std::move(e));
}

std::vector<TimedByte> TrafficLog::ReceivedBytes() const {
  std::vector<TimedByte> out;
  for (const auto& e : entries_)
    if (e.dir == Direction::Rx)
      for (char c : e.bytes) out.push_back({e.ms, static_cast<std::uint8_t>(c)});
  return out;
}

std::string TrafficLog::Bytes(Direction dir) const {
  std::string out;
  for (const auto& e : entries_)
    if (e.dir == dir) out += e.bytes;
  return out;
}

std::vector<std::string> TrafficLog::Notes() const {
  std::vector<std::string> out;
  for (const auto& e : entries_)
    if (e.dir == Direction::Note) out.push_back(e.bytes);
  return out;
}

}  // namespace sim
