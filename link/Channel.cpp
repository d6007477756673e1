#include "link/Channel.h"

#include <algorithm>
#include <stdexcept>

#include "link/Sleeper.h"
#include "serial/ComPort.h"

namespace {
TChannel* installed = nullptr;
}

TChannel& Channel() {
  if (!installed) throw std::logic_error("the command channel does not exist");
  return *installed;
}

void InstallChannel(TChannel* channel) { installed = channel; }

TChannel::TChannel(TComPort* port, TSleeper* sleeper, QObject* parent)
    : QObject(parent), port_(port), sleeper_(sleeper) {}

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
  std::string bytes(text);
  const int sent = Port().SendText(bytes);
  bytes.resize(static_cast<std::size_t>(std::max(0, sent)));
  if (!bytes.empty()) emit Sent(bytes);
  return sent;
}

void TChannel::ReportPortFailure(const EComPort& error) {
  lastFailure_ = std::make_unique<EComPort>(error);
  lastFailureRaised_ = false;
  ++failures_;
  emit PortFailed();
}

void TChannel::Sleep(int milliseconds) {
  const unsigned before = failures_;
  Sleeper().Sleep(milliseconds);
  // The report has come in a wait (a handler run from it), or while the
  // thread was busy and so only now: either way nothing more comes.
  if (failures_ == before || !lastFailure_) return;
  if (!lastFailureRaised_) {
    // The first to meet it takes it from the port, as an operation would.
    lastFailureRaised_ = true;
    Port().RaiseReportedFailure(*lastFailure_);
  }
  // A wait around this one (a handler that ran inside it) ends the same way,
  // and is told nothing new.
  EComPort again(*lastFailure_);
  again.MarkAlreadyReported();
  throw again;
}

int TChannel::SendAndWait(std::string_view text, int milliseconds) {
  const int sent = Send(text);
  Sleep(milliseconds);
  return sent;
}
