#include "receiver/Session.h"

#include "link/Channel.h"
#include "link/Sleeper.h"
#include "receiver/Readout.h"
#include "serial/ComPort.h"

namespace receiver {

void ConfigurePort(TComPort& port) {
  port.SetBaudRate(br9600);
  port.SetDataBits(dbEight);
  port.Parity().SetBits(prNone);
  port.SetStopBits(sbOneStopBit);
  TComFlowControl& flow = port.FlowControl();
  flow.SetOutCTSFlow(false);
  flow.SetOutDSRFlow(false);
  flow.SetControlDTR(dtrDisable);
  flow.SetControlRTS(rtsDisable);
  flow.SetXonXoffOut(false);
  flow.SetXonXoffIn(false);
  port.SetDiscardNull(true);
  port.SetEvents(TComEvents{evRxChar, evRing});
  port.SetSyncMethod(smThreadSync);
}

void RouteComponentErrors(std::function<void(std::exception_ptr)> show) {
  SetApplicationErrorHandler([show = std::move(show)](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const EComPort& e) {
      Channel().ReportPortFailure(e);
    } catch (...) {
    }
    if (show) show(error);
  });
}

TSession::TSession(std::function<void(std::exception_ptr)> show)
    : sleeper_(std::make_unique<TSleeper>()), port_(std::make_unique<TComPort>()) {
  port_->SetPort("COM1");
  ConfigurePort(*port_);
  channel_ = std::make_unique<TChannel>(port_.get(), sleeper_.get());
  port_->OnRxChar = [this](QObject*, int count) { channel_->Receive(count); };
  ::InstallChannel(channel_.get());
  channel_->RxText().SetWrapColumns(monitor::kWrapColumns);
  RouteComponentErrors(std::move(show));
}

TSession::~TSession() {
  // The port first: once it is closed nothing more is received.
  port_.reset();
  SetApplicationErrorHandler(nullptr);
  ::InstallChannel(nullptr);
}

}  // namespace receiver
