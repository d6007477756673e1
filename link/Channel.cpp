#include "link/Channel.h"

#include <algorithm>
#include <stdexcept>

#include "link/Sleeper.h"
#include "portmap/PortNames.h"
#include "serial/ComPort.h"

namespace {
TChannel* installed = nullptr;
}

TChannel& Channel() {
  if (!installed) throw std::logic_error("the command channel does not exist");
  return *installed;
}

void InstallChannel(TChannel* channel) { installed = channel; }

namespace {

// The device a COM name stands for now; "" when the scan was refused (the
// port opened all the same).
std::string DeviceOf(const std::string& comName) {
  try {
    if (const auto path = serial::ResolvePortDevice(comName)) return path->string();
  } catch (const std::exception&) {
  }
  return {};
}

}  // namespace

TChannel::TChannel(TComPort* port, TSleeper* sleeper, QObject* parent)
    : QObject(parent), port_(port), sleeper_(sleeper) {
  if (!port) return;
  port->OnAfterOpen = [this](QObject*) { Opened(); };
  port->OnAfterClose = [this](QObject*) { Closed(); };
  if (port->Connected()) Opened();
}

TComPort& TChannel::Port() const {
  if (!port_) throw std::logic_error("the main window's port does not exist");
  return *port_;
}

TSleeper& TChannel::Sleeper() const {
  if (!sleeper_) throw std::logic_error("the main window's delay object does not exist");
  return *sleeper_;
}

void TChannel::SetActivity(int activity) {
  activity_ = activity;
  emit ActivityChanged(activity_);
}

void TChannel::ResetActivity() { SetActivity(0); }

void TChannel::Receive(int count) {
  SetActivity(activity_ >= 1000 ? 0 : activity_ + 1);
  std::string chunk;
  Port().ReceiveText(chunk, count);
  if (!chunk.empty()) emit Received(chunk);
  rxText_.Append(chunk);
}

int TChannel::Send(std::string_view text) {
  ThrowIfFailed();
  std::string bytes(text);
  const int sent = Port().SendText(bytes);
  bytes.resize(static_cast<std::size_t>(std::max(0, sent)));
  if (!bytes.empty()) emit Sent(bytes);
  return sent;
}

void TChannel::ReportPortFailure(const EComPort& error) {
  // The first failure of an opening is the one its exchanges meet; what the
  // dying port reports after it says nothing new.
  if (!failure_) {
    failure_ = std::make_unique<EComPort>(error);
    failureRaised_ = false;
  }
  // A wait running now ends at once: nothing more can come.
  if (sleeper_ && sleeper_->Sleeping()) sleeper_->SetInterval(0);
  SetState(TLineState::Lost);
  emit PortFailed();
}

void TChannel::RequestStop() {
  stopRequested_ = true;
  // Ends the waits running now; the next wait sets its own interval again.
  if (sleeper_ && sleeper_->Sleeping()) sleeper_->SetInterval(0);
}

void TChannel::ThrowIfFailed() {
  if (stopRequested_) throw EStopped();
  if (!failure_) return;
  if (!failureRaised_) {
    // The first to meet it takes it from the port, as an operation would.
    failureRaised_ = true;
    Port().RaiseReportedFailure(*failure_);
  }
  // Every exchange after it (and a wait around the one that met it: a
  // handler that ran inside it) ends the same way, and is told nothing new.
  EComPort again(*failure_);
  again.MarkAlreadyReported();
  throw again;
}

void TChannel::Sleep(int milliseconds) {
  ThrowIfFailed();
  Sleeper().Sleep(milliseconds);
  // The report has come in the wait (a handler run from it), or while the
  // thread was busy and so only now: either way nothing more comes.
  ThrowIfFailed();
}

void TChannel::Opened() {
  // A new opening starts clean: what failed before was another opening.
  failure_.reset();
  failureRaised_ = false;
  openedPort_ = port_ ? port_->Port() : std::string();
  openedDevice_ = DeviceOf(openedPort_);
  receiverSerial_.reset();
  state_ = TLineState::NotConnected;
  emit LineChanged();
  emit PortOpened();
}

void TChannel::Closed() {
  // A lost line stays lost until the next opening: the operator is to
  // connect again.
  if (state_ != TLineState::Lost) SetState(TLineState::NotConnected);
  emit PortClosed();
}

void TChannel::LoggedIn() {
  receiverSerial_.reset();
  state_ = TLineState::LoggedIn;
  emit LineChanged();
}

void TChannel::SetReceiverSerial(int serial) {
  if (receiverSerial_ == serial) return;
  receiverSerial_ = serial;
  emit LineChanged();
}

void TChannel::SetState(TLineState state) {
  if (state_ == state) return;
  state_ = state;
  emit LineChanged();
}

int TChannel::SendAndWait(std::string_view text, int milliseconds) {
  const int sent = Send(text);
  Sleep(milliseconds);
  return sent;
}
