#include "FakeComDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%x", v);
  return b;
}

std::string DcbText(const TDCB& d) {
  char b[160];
  std::snprintf(b, sizeof b, "%u 0x%x %u/%u %u %u %u %d %d %d %d", d.BaudRate, d.Flags, d.XonLim, d.XoffLim,
                d.ByteSize, d.Parity, d.StopBits, d.XonChar, d.XoffChar, d.ErrorChar, d.EvtChar);
  return b;
}

std::string Ms(uint32_t v) { return v == kMaxDword ? "-1" : std::to_string(v); }

}  // namespace

class FakeComDevice : public IComDevice {
 public:
  explicit FakeComDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  ~FakeComDevice() override {
    std::lock_guard l(line_->m_);
    line_->Log("Close");
    --line_->openDevices_;
    line_->mask_ = 0;
    line_->cv_.notify_all();
  }

  void SetupComm(uint32_t in, uint32_t out) override {
    std::lock_guard l(line_->m_);
    line_->Log("SetupComm(" + std::to_string(in) + "," + std::to_string(out) + ")");
    line_->MaybeFail("SetupComm");
  }
  void SetCommState(const TDCB& dcb) override {
    std::lock_guard l(line_->m_);
    line_->Log("SetCommState(" + DcbText(dcb) + ")");
    line_->MaybeFail("SetCommState");
    line_->dcb_ = dcb;
  }
  void SetCommTimeouts(const TCommTimeouts& t) override {
    std::lock_guard l(line_->m_);
    line_->Log("SetCommTimeouts(" + Ms(t.ReadIntervalTimeout) + " " + Ms(t.ReadTotalTimeoutMultiplier) + " " +
               Ms(t.ReadTotalTimeoutConstant) + " " + Ms(t.WriteTotalTimeoutMultiplier) + " " +
               Ms(t.WriteTotalTimeoutConstant) + ")");
    line_->MaybeFail("SetCommTimeouts");
  }
  uint32_t Read(char* buf, uint32_t n) override {
    std::lock_guard l(line_->m_);
    line_->Log("Read(" + std::to_string(n) + ")");
    line_->MaybeFail("Read");
    line_->FailIfVanished();
    const uint32_t k = std::min<uint32_t>(n, static_cast<uint32_t>(line_->input_.size()));
    std::copy_n(line_->input_.data(), k, buf);
    line_->input_.erase(0, k);
    return k;
  }
  uint32_t Write(const char* buf, uint32_t n) override {
    std::lock_guard l(line_->m_);
    line_->Log("Write(" + std::to_string(n) + ")");
    line_->MaybeFail("Write");
    line_->FailIfVanished();
    line_->written_.append(buf, n);
    return n;
  }
  TComStat ClearCommError() override {
    std::lock_guard l(line_->m_);
    line_->Log("ClearCommError");
    line_->MaybeFail("ClearCommError");
    line_->FailIfVanished();
    TComStat s;
    s.Errors = line_->errors_;
    line_->errors_ = 0;
    s.InQue = static_cast<uint32_t>(line_->input_.size());
    return s;
  }
  uint32_t GetCommModemStatus() override {
    std::lock_guard l(line_->m_);
    line_->Log("GetCommModemStatus");
    line_->MaybeFail("GetCommModemStatus");
    return line_->modem_;
  }
  void PurgeComm(uint32_t flags) override {
    std::lock_guard l(line_->m_);
    line_->Log("PurgeComm(" + Hex(flags) + ")");
    line_->MaybeFail("PurgeComm");
    if (flags & purge::RXCLEAR) line_->input_.clear();
  }
  void SetCommMask(uint32_t mask) override {
    std::lock_guard l(line_->m_);
    line_->Log("SetCommMask(" + Hex(mask) + ")");
    line_->MaybeFail("SetCommMask");
    line_->mask_ = mask;
    line_->cv_.notify_all();
  }
  uint32_t WaitCommEvent() override {
    std::unique_lock l(line_->m_);
    FakeLine& f = *line_;
    f.Log("WaitCommEvent");
    f.MaybeFail("WaitCommEvent");
    ++f.waitsStarted_;
    f.waiting_ = true;
    f.cv_.notify_all();
    const uint32_t armedMask = f.mask_;
    uint32_t result = 0;
    f.cv_.wait(l, [&] { return f.cancel_ || f.vanished_ || f.mask_ == 0 || f.mask_ != armedMask || (f.events_ & f.mask_); });
    f.waiting_ = false;
    f.cv_.notify_all();
    if (f.cancel_) {
      f.cancel_ = false;
      return 0;
    }
    f.FailIfVanished();
    if (f.mask_ == 0 || f.mask_ != armedMask) return 0;
    result = f.events_ & f.mask_;
    f.events_ &= ~result;
    return result;
  }
  void CancelWait() override {
    std::lock_guard l(line_->m_);
    line_->Log("CancelWait");
    line_->cancel_ = true;
    line_->cv_.notify_all();
  }

 private:
  std::shared_ptr<FakeLine> line_;
};

TComDeviceOpener FakeLine::Opener() {
  std::weak_ptr<FakeLine> weak = shared_from_this();
  return [weak](const std::string& name) -> std::unique_ptr<IComDevice> {
    auto line = weak.lock();
    if (!line) throw ComOsError(winerr::kFileNotFound, 2, "fake line gone");
    std::lock_guard l(line->m_);
    line->Log("Open(" + name + ")");
    line->MaybeFail("Open");
    ++line->openDevices_;
    ++line->opens_;
    line->cancel_ = false;
    line->vanished_ = 0;
    line->events_ = 0;
    return std::make_unique<FakeComDevice>(line);
  };
}

void FakeLine::Log(const std::string& call) { calls_.push_back(call); }

void FakeLine::FailIfVanished() {
  if (vanished_) throw ComOsError(vanished_, 5 /* EIO */, "fake device vanished");
}

void FakeLine::MaybeFail(const std::string& op) {
  auto it = failures_.find(op);
  if (it == failures_.end()) return;
  Failure f = it->second;
  if (f.times > 0 && --it->second.times == 0) failures_.erase(it);
  throw ComOsError(f.code, f.sysErrno, "fake " + op + " failure");
}

std::vector<std::string> FakeLine::Calls() const {
  std::lock_guard l(m_);
  return calls_;
}

std::vector<std::string> FakeLine::Commands() const {
  std::lock_guard l(m_);
  std::vector<std::string> out;
  for (const auto& c : calls_)
    if (c != "ClearCommError" && c != "GetCommModemStatus" && c != "WaitCommEvent" && c != "CancelWait")
      out.push_back(c);
  return out;
}

int FakeLine::Count(const std::string& prefix) const {
  std::lock_guard l(m_);
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

void FakeLine::ClearCalls() {
  std::lock_guard l(m_);
  calls_.clear();
}

void FakeLine::Fail(const std::string& op, int winCode, int times, int sysErrno) {
  std::lock_guard l(m_);
  if (times == 0) {
    failures_.erase(op);
    return;
  }
  failures_[op] = Failure{winCode, times, sysErrno};
}

void FakeLine::Receive(const std::string& bytes, uint32_t alsoEvents) {
  std::lock_guard l(m_);
  input_ += bytes;
  if (!bytes.empty()) events_ |= ev::RXCHAR;
  events_ |= alsoEvents;
  cv_.notify_all();
}

void FakeLine::RaiseEvents(uint32_t evFlags) {
  std::lock_guard l(m_);
  events_ |= evFlags;
  cv_.notify_all();
}

void FakeLine::SetModemStatus(uint32_t msFlags) {
  std::lock_guard l(m_);
  modem_ = msFlags;
}

void FakeLine::SetLineErrors(uint32_t ceFlags) {
  std::lock_guard l(m_);
  errors_ = ceFlags;
}

void FakeLine::Vanish(int winCode) {
  std::lock_guard l(m_);
  vanished_ = winCode;
  cv_.notify_all();
}

std::string FakeLine::Written() const {
  std::lock_guard l(m_);
  return written_;
}

std::string FakeLine::InputQueue() const {
  std::lock_guard l(m_);
  return input_;
}

TDCB FakeLine::LastDCB() const {
  std::lock_guard l(m_);
  return dcb_;
}

uint32_t FakeLine::Mask() const {
  std::lock_guard l(m_);
  return mask_;
}

bool FakeLine::IsOpen() const {
  std::lock_guard l(m_);
  return openDevices_ > 0;
}

int FakeLine::OpenCount() const {
  std::lock_guard l(m_);
  return opens_;
}

bool FakeLine::WaitUntilWaiting(int timeoutMs) const {
  std::unique_lock l(m_);
  return cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return waiting_; });
}

bool FakeLine::WaitUntilWaitsStarted(int n, int timeoutMs) const {
  std::unique_lock l(m_);
  return cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return waitsStarted_ >= n; });
}

int FakeLine::WaitsStarted() const {
  std::lock_guard l(m_);
  return waitsStarted_;
}
