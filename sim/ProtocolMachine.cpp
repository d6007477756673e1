#include "sim/ProtocolMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

namespace sim {

namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kSetHeader0 = 0x55, kSetHeader1 = 0xAA;

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

// ---------------------------------------------------------------- state

ParamSet ProtocolMachine::DefaultParams() {
  ParamSet p{};
  p[0] = kSetHeader0;
  p[1] = kSetHeader1;
  p[2] = 180;   // dead time
  p[3] = 1;     // write order
  p[4] = 18;    // serial number 4660
  p[5] = 52;
  p[6] = 100;   // operator of the last write
  p[7] = 7;     // network 7
  p[8] = 15;    // one transmitter, number 15
  p[9] = 15;
  p[10] = 2;    // key tone
  p[11] = 1;    // mask groups A, B, C
  p[12] = 2;
  p[13] = 3;
  p[14] = 0;
  p[15] = 0;
  const unsigned addresses[8] = {543001, 543002, 600100, 1048575, 0, 0, 0, 0};
  for (int n = 0; n < 8; ++n) {
    p[16 + 3 * n] = static_cast<std::uint8_t>(addresses[n] >> 16);
    p[17 + 3 * n] = static_cast<std::uint8_t>(addresses[n] >> 8);
    p[18 + 3 * n] = static_cast<std::uint8_t>(addresses[n]);
  }
  for (int n = 0; n < 8; ++n)
    for (int c = 0; c < 4; ++c) p[40 + 4 * n + c] = static_cast<std::uint8_t>(n < 7 ? c + 1 : 5);
  return p;
}

std::vector<std::string> ProtocolMachine::DefaultMonitor(int lines) {
  static const char* const kEvents[] = {
      "Poplach sirény",       "Zkouška sirény",       "Konec poplachu",      "Výpadek napájení",
      "Obnovení napájení",    "Porucha akumulátoru",  "Všeobecná výstraha",  "Požární poplach",
      "Chemická havárie",     "Zátopová vlna",        "Příjem adresy 543001", "Zásah obsluhy",
      "Reset přijímače",      "Chybný příkaz",        "Ztráta spojení",      "Spojení obnoveno",
  };
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(std::max(lines, 0)));
  std::tm start{};
  start.tm_year = 2025 - 1900;
  start.tm_mon = 0;
  start.tm_mday = 2;
  start.tm_hour = 6;
  long long t = timegm(&start);
  for (int i = 0; i < lines; ++i) {
    t += 60LL * (37 + (i * 53) % 400) + (i * 13) % 60;
    const time_t tt = static_cast<time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char head[64];
    std::snprintf(head, sizeof head, "%04d %02d.%02d.%02d %02d:%02d:%02d ", (i + 1) % 10000, tm.tm_mday,
                  tm.tm_mon + 1, tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec);
    out.push_back(head + ToCp1250(kEvents[(i * 7 + i / 16) % 16]));
  }
  return out;
}

ProtocolMachine::ProtocolMachine(ProtocolOptions options, Time now) : options_(std::move(options)) {
  params_ = DefaultParams();
  monitor_ = DefaultMonitor(options_.monitorLines);
  rng_ = options_.seed ? options_.seed : 1;
  SetClockToComputer(now);
}

void ProtocolMachine::SetClockToComputer(Time now) {
  const time_t wall = time(nullptr);
  std::tm tm{};
  localtime_r(&wall, &tm);
  SetClock({tm.tm_wday, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec}, now);
}

void ProtocolMachine::Open() {
  state_ = State::BeforeReset;
  if (options_.resetOnStart) {
    state_ = State::AwaitSpace;
    Note("reset pressed (on start)");
  }
}

void ProtocolMachine::LineClosed(const std::string& why) {
  ClearForReset();
  state_ = State::Vanished;
  Note("line closed: " + why);
}

void ProtocolMachine::Stop() {
  ClearForReset();
  state_ = State::Stopped;
}

bool ProtocolMachine::PressReset() {
  if (state_ == State::Vanished || state_ == State::Stopped) return false;
  ClearForReset();
  state_ = State::AwaitSpace;
  Note("reset pressed");
  return true;
}

void ProtocolMachine::ClearForReset() {
  out_.clear();
  password_.clear();
  frame_.clear();
  fields_.clear();
  field_.clear();
  // A reset before the read-back, or one that cuts its reply short, leaves
  // the write incomplete: the cable stays.
  awaitingReadBack_ = false;
  swapIn_.reset();
}

std::optional<Piece> ProtocolMachine::TakePiece(Time now) {
  if (swapIn_ && *swapIn_ == 0) SwapReceiver(now);
  if (out_.empty()) return std::nullopt;
  Piece p = std::move(out_.front());
  out_.pop_front();
  if (swapIn_) --*swapIn_;
  return p;
}

void ProtocolMachine::SwapReceiver(Time now) {
  // Another receiver on the cable, its reset just pressed: its own set and
  // serial number, its own monitor and clock. What the one before still had
  // to say goes with it.
  ClearForReset();
  const int serial = options_.swapSerials[swapsDone_++] & 0xFFFF;
  params_ = DefaultParams();
  params_[4] = static_cast<std::uint8_t>(serial >> 8);
  params_[5] = static_cast<std::uint8_t>(serial);
  monitor_ = DefaultMonitor(options_.monitorLines);
  SetClockToComputer(now);
  operatorCode_ = -1;
  state_ = State::AwaitSpace;
  Note("swapped: now receiver " + std::to_string(serial) + ", just reset");
}

std::vector<std::string> ProtocolMachine::TakeNotes() { return std::exchange(notes_, {}); }

void ProtocolMachine::SetFault(Fault fault, bool on) {
  if (on == Has(fault)) return;
  if (on) options_.faults.insert(fault);
  else options_.faults.erase(fault);
  Note(std::string("fault ") + std::string(FaultName(fault)) + (on ? " on" : " off"));
}

void ProtocolMachine::ClearFaults() {
  if (options_.faults.empty()) return;
  options_.faults.clear();
  Note("faults cleared");
}

void ProtocolMachine::SetClock(const ClockTime& time, Time now) {
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  clockBase_ = timegm(&tm);
  clockBaseDow_ = ((time.dayOfWeek % 7) + 7) % 7;
  clockSetAt_ = now;
}

ClockTime ProtocolMachine::ClockAt(Time now) const {
  const long long elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - clockSetAt_).count();
  const long long t = clockBase_ + std::max(0LL, elapsed);
  const long long days = FloorDiv(t, 86400) - FloorDiv(clockBase_, 86400);
  const time_t tt = static_cast<time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  ClockTime c;
  c.dayOfWeek = static_cast<int>(((clockBaseDow_ + days) % 7 + 7) % 7);
  c.day = tm.tm_mday;
  c.month = tm.tm_mon + 1;
  c.year = tm.tm_year + 1900;
  c.hour = tm.tm_hour;
  c.minute = tm.tm_min;
  c.second = tm.tm_sec;
  return c;
}

void ProtocolMachine::SetCustomReply(char command, std::optional<std::string> bytes) {
  if (bytes) customReplies_[command] = std::move(*bytes);
  else customReplies_.erase(command);
}

// ---------------------------------------------------------------- input and deadlines

void ProtocolMachine::Receive(std::string_view bytes, Time at) {
  Advance(at);
  for (char c : bytes) {
    if (state_ == State::Vanished || state_ == State::Stopped) return;
    HandleByte(static_cast<std::uint8_t>(c), at);
  }
}

std::optional<Time> ProtocolMachine::NextDeadline() const {
  switch (state_) {
    case State::Password:
      if (!password_.empty()) return passwordDeadline_;
      return std::nullopt;
    case State::Frame: return frameDeadline_;
    case State::ClockFields:
      if (!field_.empty()) return std::min(fieldDeadline_, clockDeadline_);
      return clockDeadline_;
    default: return std::nullopt;
  }
}

bool ProtocolMachine::Advance(Time now) {
  const auto deadline = NextDeadline();
  if (!deadline || now < *deadline) return false;
  switch (state_) {
    case State::Password:
      if (!password_.empty() && now >= passwordDeadline_) {
        Note("partial password \"" + Printable(password_) + "\" dropped after a pause");
        password_.clear();
      }
      break;
    case State::Frame:
      if (now >= frameDeadline_) FinishFrame(true);
      break;
    case State::ClockFields:
      if (!field_.empty() && now >= fieldDeadline_) EndClockField();
      if (state_ == State::ClockFields && now >= clockDeadline_) {
        Note("clock write abandoned: " + std::to_string(fields_.size()) + " of 7 fields, then no byte for " +
             std::to_string(options_.clockTimeoutMs) + " ms");
        state_ = State::Command;
        Reply(ToCp1250("\r\nCHYBA NASTAVENÍ HODIN\r\nCMD>"));
      }
      break;
    default: break;
  }
  return true;
}

// ---------------------------------------------------------------- protocol

void ProtocolMachine::HandleByte(std::uint8_t b, Time at) {
  switch (state_) {
    case State::BeforeReset:
    case State::Vanished:
    case State::Stopped:
      return;
    case State::AwaitSpace:
      if (b == ' ' || b == '\r') {
        password_.clear();
        state_ = State::Password;
        Reply("\r\nPASSWORD:", false);
      }
      return;
    case State::Password:
      if (password_.empty() && (b == ' ' || b == '\r' || b == '\n')) return;   // more polling
      password_ += static_cast<char>(b);
      passwordDeadline_ = at + milliseconds(options_.passwordIdleMs);
      if (password_.size() == 5) {
        if (password_ == kPassword) {
          Note("password accepted");
          state_ = State::Operator;
          if (!Has(Fault::NoOp)) Reply("\r\nOP:", false);
          if (Has(Fault::ResetInLogin)) {
            state_ = State::AwaitSpace;
            Note("reset pressed (during the login)");
          }
        } else {
          Note("wrong password \"" + Printable(password_) + "\"");
          Reply(ToCp1250("\r\nCHYBNÉ HESLO\r\nPASSWORD:"), false);
        }
        password_.clear();
      }
      return;
    case State::Operator:
      operatorCode_ = b;
      Note("logged in, operator code " + std::to_string(b));
      state_ = State::Command;
      Reply("\r\nCMD>", false);
      return;
    case State::Command: {
      // The first "e" after a frame taken reads the write back: once its
      // reply has gone out whole, the next receiver is on the cable.
      const bool readBack = b == 'e' && awaitingReadBack_;
      CommandByte(b, at);
      if (readBack) {
        awaitingReadBack_ = false;
        swapIn_ = out_.size();
      }
      return;
    }
    case State::Frame:
      frame_ += static_cast<char>(b);
      frameDeadline_ = at + milliseconds(options_.frameTimeoutMs);
      if (frame_.size() == kFrameSize) FinishFrame(false);
      return;
    case State::ClockFields:
      clockDeadline_ = at + milliseconds(options_.clockTimeoutMs);
      if (b == ',' || b == ' ' || b == '.' || b == ':' || b == '\r' || b == '\n') {
        EndClockField();
        return;
      }
      field_ += static_cast<char>(b);
      fieldLastByte_ = at;
      fieldDeadline_ = at + milliseconds(options_.fieldGapMs);
      return;
  }
}

void ProtocolMachine::CommandByte(std::uint8_t b, Time at) {
  if (b != 'z' && b != 's') {
    const auto custom = customReplies_.find(static_cast<char>(b));
    if (custom != customReplies_.end()) {
      if (b == 'n') {
        monitor_.clear();
        Note("monitor cleared");
      }
      Reply(custom->second, true, b == 'e' || b == 't' || b == 'm');
      return;
    }
  }
  switch (b) {
    case '\r':
      Reply(Has(Fault::NoCmdPrompt) ? "\r\n" : "\r\nCMD>");
      return;
    case '\n':
    case ' ':
    case 0:
      return;
    case 'e': {
      std::string text = "PARAMETRY\r\n";
      for (int i = 0; i < kParamSize; ++i) {
        char f[8];
        std::snprintf(f, sizeof f, "%03u", static_cast<unsigned>(params_[i]));
        if (i) text += ',';
        text += f;
      }
      text += "\r\nCMD>";
      Reply(std::move(text), true, true);
      return;
    }
    case 'z':
      frame_.clear();
      frameDeadline_ = at + milliseconds(options_.frameTimeoutMs);
      state_ = State::Frame;
      return;
    case 't': {
      const ClockTime c = ClockAt(at);
      char line[64];
      // The line's first colon is the one before the day of week.
      std::snprintf(line, sizeof line, "HODINY: %d %02d.%02d.%02d %02d:%02d:%02d\r\nCMD>", c.dayOfWeek, c.day,
                    c.month, c.year % 100, c.hour, c.minute, c.second);
      Reply(line, true, true);
      return;
    }
    case 's':
      fields_.clear();
      field_.clear();
      clockDeadline_ = at + milliseconds(options_.clockTimeoutMs);
      state_ = State::ClockFields;
      return;
    case 'm':
      ReplyMonitor();
      return;
    case 'n':
      monitor_.clear();
      Note("monitor cleared");
      Reply(ToCp1250("\r\nMONITOR VYMAZÁN\r\nCMD>"));
      return;
    default:
      Note("unknown command byte " + Hex2(b));
      Reply("\r\n?\r\nCMD>");
      return;
  }
}

void ProtocolMachine::FinishFrame(bool cutShort) {
  state_ = State::Command;
  const auto refuse = [&](const std::string& why) {
    ++framesRefused_;
    awaitingReadBack_ = false;   // the last write failed: no completed write to read back
    Note("parameter frame refused: " + why);
    Reply(ToCp1250("\r\nCHYBA ZÁPISU\r\nCMD>"));
  };
  if (cutShort) {
    refuse("cut short after " + std::to_string(frame_.size()) + " of 128 bytes (no byte for " +
           std::to_string(options_.frameTimeoutMs) + " ms)");
    return;
  }
  const auto b0 = static_cast<std::uint8_t>(frame_[0]), b1 = static_cast<std::uint8_t>(frame_[1]);
  if (b0 != kSetHeader0 || b1 != kSetHeader1) {
    refuse("it starts with " + Hex2(b0) + " " + Hex2(b1) + " instead of 55 AA");
    return;
  }
  ++framesAccepted_;
  // Also when it keeps its old set: it answers as if it had stored the
  // frame, and the read-back is where the write fails.
  awaitingReadBack_ = swapsDone_ < options_.swapSerials.size();
  if (Has(Fault::KeepsOldSet)) {
    Note("parameter frame accepted, but the old set kept");
  } else {
    for (int i = 0; i < kParamSize; ++i) params_[i] = static_cast<std::uint8_t>(frame_[i]);
    Note("parameter frame accepted and stored");
  }
  if (std::any_of(frame_.begin() + kParamSize, frame_.end(), [](char c) { return c != '\xFF'; }))
    Note("note: the frame's bytes 72..127 are not all FF");
  Reply(ToCp1250("\r\nZAPSÁNO\r\nCMD>"));
}

void ProtocolMachine::EndClockField() {
  if (field_.empty()) return;
  fields_.push_back(std::move(field_));
  field_.clear();
  // The clock starts from the moment the seconds came, as a real clock chip
  // set by its last field would.
  if (fields_.size() == 7) ApplyClockFields(fieldLastByte_);
}

void ProtocolMachine::ApplyClockFields(Time lastByte) {
  static const char* const kNames[7] = {"day of week", "day", "month", "year", "hours", "minutes", "seconds"};
  static const int kMin[7] = {0, 1, 1, 0, 0, 0, 0};
  static const int kMax[7] = {6, 31, 12, 99, 23, 59, 59};
  int v[7];
  std::string shown;
  for (int i = 0; i < 7; ++i) {
    const std::string& f = fields_[i];
    shown += (i ? " " : "") + Printable(f);
    bool digits = !f.empty() && f.size() <= 4 &&
                  std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; });
    v[i] = digits ? std::atoi(f.c_str()) : -1;
    if (!digits || v[i] < kMin[i] || v[i] > kMax[i]) {
      Note("clock write refused: " + std::string(kNames[i]) + " \"" + Printable(f) + "\" (fields " + shown + ")");
      fields_.clear();
      state_ = State::Command;
      Reply(ToCp1250("\r\nCHYBA NASTAVENÍ HODIN\r\nCMD>"));
      return;
    }
  }
  fields_.clear();
  SetClock({v[0], v[1], v[2], 2000 + v[3], v[4], v[5], v[6]}, lastByte);
  if (Has(Fault::ClockOff)) {
    // A clock that misreads its hours field: an hour later, the day of week
    // following the date.
    clockBase_ += 3600;
    if (FloorDiv(clockBase_, 86400) != FloorDiv(clockBase_ - 3600, 86400)) clockBaseDow_ = (clockBaseDow_ + 1) % 7;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "clock set to %d %02d.%02d.%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4],
                v[5], v[6]);
  Note(buf);
  state_ = State::Command;
  Reply("\r\nOK\r\nCMD>");
}

// ---------------------------------------------------------------- replies

void ProtocolMachine::ReplyMonitor() {
  std::string text = ToCp1250("MONITOR UDÁLOSTÍ: ") + std::to_string(monitor_.size()) + "\r\n";
  for (const auto& line : monitor_) text += line + "\r\n";
  if (Has(Fault::MonitorNoEnd)) {
    Reply(std::move(text), true, true);
    return;
  }
  if (Has(Fault::MonitorLate)) {
    if (Reply(std::move(text), true, true)) out_.push_back(Piece{"CMD>", milliseconds(options_.monitorLateMs)});
    return;
  }
  Reply(text + "CMD>", true, true);
}

bool ProtocolMachine::Reply(std::string text, bool commandReply, bool cuttable) {
  if (Has(Fault::Silent)) return false;
  bool whole = true;
  if (cuttable && Has(Fault::CutReply)) {
    text.resize(text.size() / 2);
    whole = false;
  }
  const bool vanish = commandReply && Has(Fault::Vanish);
  if (vanish) {
    text.resize((text.size() + 1) / 2);
    whole = false;
  }
  if (Has(Fault::Garbage)) {
    std::string mixed = Noise();
    for (char c : text) {
      if ((rng_ = rng_ * 1103515245u + 12345u) >> 28 == 0) mixed += '\0';   // about one in sixteen
      mixed += c;
    }
    text = std::move(mixed);
  }
  std::vector<Piece> pieces = Has(Fault::Split) ? SplitPieces(text) : std::vector<Piece>{Piece{text}};
  if (Has(Fault::Slow)) pieces.front().pause += milliseconds(options_.slowDelayMs);
  // A moment's pause lets what went out reach the other side's buffer
  // before the line goes, as with an adapter pulled mid-reply.
  if (vanish) pieces.push_back(Piece{"", milliseconds(50), true});
  for (auto& p : pieces) out_.push_back(std::move(p));
  return whole;
}

std::string ProtocolMachine::Noise() {
  std::string noise;
  const int n = 3 + static_cast<int>((rng_ = rng_ * 1103515245u + 12345u) >> 29);   // 3..10
  for (int i = 0; i < n; ++i) {
    std::uint8_t b;
    do {
      b = static_cast<std::uint8_t>((rng_ = rng_ * 1103515245u + 12345u) >> 24);
    } while ((b >= 0x20 && b < 0x7F) || b == '\r' || b == '\n');   // no text, no line break
    noise += static_cast<char>(b);
  }
  return noise;
}

std::vector<Piece> ProtocolMachine::SplitPieces(const std::string& text) const {
  std::vector<Piece> pieces;
  std::string cur;
  const bool fine = text.size() <= 512;
  const milliseconds gap(options_.splitGapMs);
  std::uint32_t r = rng_ ^ static_cast<std::uint32_t>(text.size());
  auto nextTarget = [&] { return 1 + static_cast<std::size_t>((r = r * 1103515245u + 12345u) >> 29) % 5; };
  std::size_t target = nextTarget();
  for (std::size_t i = 0; i < text.size(); ++i) {
    cur += text[i];
    const bool last = i + 1 == text.size();
    const bool cut = text[i] == '\r' ||
                     (cur.size() >= 2 && cur.compare(cur.size() - 2, 2, "WO") == 0 &&
                      text.compare(i + 1, 3, "RD:") == 0) ||
                     (fine && cur.size() >= target);
    if (cut && !last) {
      pieces.push_back(Piece{std::move(cur), pieces.empty() ? milliseconds(0) : gap});
      cur.clear();
      target = nextTarget();
    }
  }
  if (!cur.empty() || pieces.empty()) pieces.push_back(Piece{std::move(cur), pieces.empty() ? milliseconds(0) : gap});
  return pieces;
}

}  // namespace sim
