#include "link/Channel.h"

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
  rxText_.Append(chunk);
}

int TChannel::Send(std::string_view text) { return Port().SendText(std::string(text)); }

void TChannel::ReportPortFailure() { emit PortFailed(); }

void TChannel::Sleep(int milliseconds) { Sleeper().Sleep(milliseconds); }

int TChannel::SendAndWait(std::string_view text, int milliseconds) {
  const int sent = Send(text);
  Sleep(milliseconds);
  return sent;
}
