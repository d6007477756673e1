// The serial port: open and close sequences, configuration of the device
// from the settings, send and receive, driver queries, notifications.
#include "serial/ComPort.h"

#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <climits>
#include <iterator>
#include <mutex>
#include <system_error>
#include <utility>

#include "serial/ComLossReport.h"
#include "serial/ComNotifyWindow.h"
#include "serial/ComThread.h"
#include "serial/LinuxComDevice.h"

static_assert(TCustomComPort::PortEventMessage == kPortEventMessage);

namespace {

std::mutex g_openerMutex;
TComDeviceOpener g_defaultOpener;

constexpr uint32_t kBaudRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                   14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

}  // namespace

TCustomComPort::TCustomComPort(QObject* owner) : QObject(owner) {}

TCustomComPort::~TCustomComPort() {
  try {
    ClosePort();
  } catch (...) {
    // The close sequence stopped half-way (a failed abort, a handler that
    // threw); the port goes regardless, and the user hears about it.
    try {
      ShowApplicationError(std::current_exception());
    } catch (...) {
    }
  }
  StopEventThread();
  CloseDevice();
  connected_ = false;
  if (loss_) loss_->PortClosed();
}

// ---------------------------------------------------------------------------
// Open and close

void TCustomComPort::OpenPort() {
  if (connected_) return;
  FireBeforeOpen();
  OpenDevice();
  connected_ = true;
  loss_ = std::make_shared<TComLossReport>();
  try {
    ConfigureDevice();
  } catch (...) {
    CloseDevice();
    connected_ = false;
    throw;
  }
  if (!events_.Empty()) {
    if (syncMethod_ == smWindowSync) {
      notifyWindow_ = std::make_unique<TComNotifyWindow>([this](TComEvent e) { DispatchEvent(e); });
      QCoreApplication* app = QCoreApplication::instance();
      if (app && app->thread() != QThread::currentThread()) notifyWindow_->moveToThread(app->thread());
    }
    TComHandOver::TPoster poster = TComHandOver::GuiThreadPoster();
    if (guiPoster_)
      poster = [gui = guiPoster_](std::shared_ptr<TComHandOver> h) { gui([h] { h->RunPending(); }); };
    thread_ = std::make_unique<TComThread>([this](TComEvent e) { DispatchEvent(e); }, device_, events_, syncMethod_,
                                           notifyWindow_.get(), poster, loss_);
  }
  FireAfterOpen();
  FireCTSChange(LineSignals().Contains(sigCTS));
  FireDSRChange(LineSignals().Contains(sigDSR));
  FireRLSDChange(LineSignals().Contains(sigRLSD));
}

void TCustomComPort::ClosePort() {
  if (!connected_ || closing_) return;
  closing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{closing_};
  FireBeforeClose();
  FireCTSChange(false);
  FireDSRChange(false);
  FireRLSDChange(false);
  AbortPendingIo();
  StopEventThread();
  CloseDevice();
  connected_ = false;
  loss_->PortClosed();  // a report of its wait still on its way is dropped
  FireAfterClose();
}

void TCustomComPort::SetConnected(bool value) {
  if (value == connected_) return;
  if (value)
    OpenPort();
  else
    ClosePort();
}

void TCustomComPort::StopEventThread() {
  if (!thread_) return;
  // Take it out first: a handler run by the wait below may look at the port.
  std::unique_ptr<TComThread> thread = std::move(thread_);
  thread->RequestStop();
  thread->WaitFor();
  thread.reset();
  notifyWindow_.reset();
}

void TCustomComPort::OpenDevice() {
  TComDeviceOpener opener = opener_;
  if (!opener) {
    std::lock_guard lock(g_openerMutex);
    opener = g_defaultOpener;
  }
  if (!opener) opener = OpenLinuxComDevice;
  std::unique_ptr<IComDevice> device;
  try {
    device = opener(port_);
  } catch (const ComOsError& e) {
    throw EComPort(1, e.WinCode(), e.SysErrno());
  } catch (const std::system_error& e) {
    throw EComPort(1, WinCodeFromErrno(e.code().value()), e.code().value());
  }
  if (!device) throw EComPort(1, winerr::kFileNotFound, ENODEV);
  device_ = std::move(device);
}

void TCustomComPort::CloseDevice() { device_.reset(); }

void TCustomComPort::ConfigureDevice() {
  ApplyBufferSettings();
  ApplyLineSettings();
  ApplyTimeoutSettings();
}

void TCustomComPort::SetGuiPoster(TGuiPoster poster) { guiPoster_ = std::move(poster); }

void TCustomComPort::SetDeviceOpener(TComDeviceOpener opener) { opener_ = std::move(opener); }

void TCustomComPort::SetDefaultDeviceOpener(TComDeviceOpener opener) {
  std::lock_guard lock(g_openerMutex);
  g_defaultOpener = std::move(opener);
}

void TCustomComPort::RaiseOsError(EComPort error) const {
  if (loss_) loss_->CallerFailed(error);
  throw error;
}

template <typename F>
auto TCustomComPort::Checked(int portErrorCode, F&& f) const -> decltype(f()) {
  try {
    return f();
  } catch (const ComOsError& e) {
    RaiseOsError(EComPort(portErrorCode, e.WinCode(), e.SysErrno()));
  }
}

std::shared_ptr<IComDevice> TCustomComPort::DeviceOrThrow(int portErrorCode) const {
  if (!device_) throw EComPort(portErrorCode, winerr::kInvalidHandle, EBADF);
  return device_;
}

// ---------------------------------------------------------------------------
// Settings

void TCustomComPort::SetLineSetting(auto& field, auto value) {
  if (field == value) return;
  field = value;
  ApplyLineSettings();
}

void TCustomComPort::SetBaudRate(TBaudRate value) { SetLineSetting(baudRate_, value); }
void TCustomComPort::SetCustomBaudRate(int value) { SetLineSetting(customBaudRate_, value); }
void TCustomComPort::SetStopBits(TStopBits value) { SetLineSetting(stopBits_, value); }
void TCustomComPort::SetDataBits(TDataBits value) { SetLineSetting(dataBits_, value); }
void TCustomComPort::SetDiscardNull(bool value) { SetLineSetting(discardNull_, value); }
void TCustomComPort::SetEventChar(char value) { SetLineSetting(eventChar_, value); }
void TCustomComPort::SetEvents(TComEvents value) { events_ = value; }

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
  if (value == syncMethod_) return;
  if (connected_) throw EComPort(14);
  syncMethod_ = value;
}

void TCustomComPort::SetPort(const std::string& value) {
  std::string name = NormalizePortName(value);
  if (name == port_) return;
  port_ = name;
  if (connected_) {
    ClosePort();
    OpenPort();
  }
}

TDCB TCustomComPort::DeviceControlBlock() const {
  TDCB d;
  d.DCBlength = 28;
  // A TBaudRate outside the table (only a cast makes one) is no rate: the
  // device refuses 0 (EComPort 7, code 87) instead of reading past the table.
  if (baudRate_ == brCustom)
    d.BaudRate = static_cast<uint32_t>(customBaudRate_);
  else
    d.BaudRate = baudRate_ < std::size(kBaudRates) ? kBaudRates[baudRate_] : 0;
  const bool errorChar = parity_.Check() && parity_.Replace();
  uint32_t f = dcb::fBinary;
  if (parity_.Check()) f |= dcb::fParity;
  if (flowControl_.OutCTSFlow()) f |= dcb::fOutxCtsFlow;
  if (flowControl_.OutDSRFlow()) f |= dcb::fOutxDsrFlow;
  f |= (static_cast<uint32_t>(flowControl_.ControlDTR()) & 3) << dcb::fDtrControlShift;  // two bits, no more
  if (flowControl_.DSRSensitivity()) f |= dcb::fDsrSensitivity;
  if (flowControl_.TxContinueOnXoff()) f |= dcb::fTXContinueOnXoff;
  if (flowControl_.XonXoffOut()) f |= dcb::fOutX;
  if (flowControl_.XonXoffIn()) f |= dcb::fInX;
  if (errorChar) f |= dcb::fErrorChar;
  if (discardNull_) f |= dcb::fNull;
  f |= (static_cast<uint32_t>(flowControl_.ControlRTS()) & 3) << dcb::fRtsControlShift;
  d.Flags = f;
  d.XonLim = d.XoffLim = static_cast<uint16_t>(buffer_.InputSize() / 4);
  d.ByteSize = static_cast<uint8_t>(5 + dataBits_);
  d.Parity = static_cast<uint8_t>(parity_.Bits());
  d.StopBits = static_cast<uint8_t>(stopBits_);
  d.XonChar = flowControl_.XonChar();
  d.XoffChar = flowControl_.XoffChar();
  d.ErrorChar = errorChar ? parity_.ReplaceChar() : 0;
  d.EofChar = 0;
  d.EvtChar = eventChar_;
  return d;
}

TCommTimeouts TCustomComPort::CommTimeouts() const {
  auto ms = [](int v) { return v == -1 ? kMaxDword : static_cast<uint32_t>(v); };
  TCommTimeouts t;
  t.ReadIntervalTimeout = ms(timeouts_.ReadInterval());
  t.ReadTotalTimeoutMultiplier = ms(timeouts_.ReadTotalMultiplier());
  t.ReadTotalTimeoutConstant = ms(timeouts_.ReadTotalConstant());
  t.WriteTotalTimeoutMultiplier = ms(timeouts_.WriteTotalMultiplier());
  t.WriteTotalTimeoutConstant = ms(timeouts_.WriteTotalConstant());
  return t;
}

void TCustomComPort::ApplyLineSettings() {
  if (!connected_) return;
  auto dev = DeviceOrThrow(7);
  Checked(7, [&] { dev->SetCommState(DeviceControlBlock()); });
}

void TCustomComPort::ApplyTimeoutSettings() {
  if (!connected_) return;
  auto dev = DeviceOrThrow(8);
  Checked(8, [&] { dev->SetCommTimeouts(CommTimeouts()); });
}

void TCustomComPort::ApplyBufferSettings() {
  if (!connected_) return;
  auto dev = DeviceOrThrow(9);
  Checked(9, [&] {
    dev->SetupComm(static_cast<uint32_t>(buffer_.InputSize()), static_cast<uint32_t>(buffer_.OutputSize()));
  });
}

// ---------------------------------------------------------------------------
// I/O

TPendingIo* TCustomComPort::NewPendingIo() { return new TPendingIo{}; }

void TCustomComPort::FreePendingIo(TPendingIo* record) { delete record; }

int TCustomComPort::WaitForOperation(TPendingIo* record) {
  if (!record) throw EComPort(4);
  const int code = record->Kind == ioWrite ? 2 : 3;
  if (record->OsErrorCode != 0) RaiseOsError(EComPort(code, record->OsErrorCode, record->SysErrno));
  if (!record->Finished) RaiseOsError(EComPort(code, 996 /* ERROR_IO_INCOMPLETE */, 0));
  return record->Transferred > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(record->Transferred);
}

namespace {
// Frees a pending record on every way out.
struct PendingIoHolder {
  TCustomComPort* port;
  TPendingIo* record;
  ~PendingIoHolder() { port->FreePendingIo(record); }
};
}  // namespace

int TCustomComPort::SendText(const std::string& Text) {
  PendingIoHolder io{this, NewPendingIo()};
  io.record->Kind = ioWrite;
  auto dev = DeviceOrThrow(2);
  try {
    io.record->Transferred = dev->Write(Text.data(), static_cast<uint32_t>(Text.size()));
  } catch (const ComOsError& e) {
    io.record->OsErrorCode = e.WinCode();
    io.record->SysErrno = e.SysErrno();
  }
  io.record->Finished = true;
  return WaitForOperation(io.record);
}

int TCustomComPort::ReceiveText(std::string& Text, int Count) {
  PendingIoHolder io{this, NewPendingIo()};
  io.record->Kind = ioRead;
  if (Count < 0) Count = 0;  // a negative count reads nothing rather than overrunning Text
  auto dev = DeviceOrThrow(3);
  Text.resize(static_cast<size_t>(Count));
  try {
    io.record->Transferred = dev->Read(Text.data(), static_cast<uint32_t>(Count));
    if (io.record->Transferred > static_cast<uint32_t>(Count)) io.record->Transferred = static_cast<uint32_t>(Count);
  } catch (const ComOsError& e) {
    io.record->OsErrorCode = e.WinCode();
    io.record->SysErrno = e.SysErrno();
  }
  io.record->Finished = true;
  const int n = WaitForOperation(io.record);
  Text.resize(static_cast<size_t>(n));
  return n;
}

int TCustomComPort::InputQueueCount() {
  auto dev = DeviceOrThrow(10);
  const TComStat stat = Checked(10, [&] { return dev->ClearCommError(); });
  return stat.InQue > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(stat.InQue);
}

TLineSignals TCustomComPort::LineSignals() {
  auto dev = DeviceOrThrow(11);
  const uint32_t status = Checked(11, [&] { return dev->GetCommModemStatus(); });
  TLineSignals s;
  if (status & ms::CTS_ON) s.Include(sigCTS);
  if (status & ms::DSR_ON) s.Include(sigDSR);
  if (status & ms::RING_ON) s.Include(sigRing);
  if (status & ms::RLSD_ON) s.Include(sigRLSD);
  return s;
}

TComErrors TCustomComPort::LineErrors() {
  auto dev = DeviceOrThrow(10);
  const uint32_t e = Checked(10, [&] { return dev->ClearCommError(); }).Errors;
  TComErrors r;
  if (e & ce::FRAME) r.Include(errFrame);
  if ((e & ce::RXPARITY) && parity_.Check()) r.Include(errRxParity);
  if (e & ce::OVERRUN) r.Include(errOverrun);
  if (e & ce::BREAK) r.Include(errBreak);
  if (e & ce::IOE) r.Include(errIO);
  if (e & ce::MODE) r.Include(errMode);
  if (e & ce::RXOVER) r.Include(errRxOverflow);
  if (e & ce::TXFULL) r.Include(errTxFull);
  return r;
}

void TCustomComPort::AbortPendingIo() {
  auto dev = DeviceOrThrow(5);
  Checked(5, [&] { dev->PurgeComm(purge::TXABORT | purge::RXABORT); });
}

// ---------------------------------------------------------------------------
// Notifications

void TCustomComPort::DispatchEvent(TComEvent event) {
  switch (event) {
    case evRxChar: {
      const int count = InputQueueCount();
      if (count > 0) FireRxChar(count);
      break;
    }
    case evTxEmpty: FireTxEmpty(); break;
    case evRxFlag: FireRxFlag(); break;
    case evRing: FireRing(); break;
    case evBreak: FireBreak(); break;
    case evCTS: FireCTSChange(LineSignals().Contains(sigCTS)); break;
    case evDSR: FireDSRChange(LineSignals().Contains(sigDSR)); break;
    case evError: FireError(LineErrors()); break;
    case evRLSD: FireRLSDChange(LineSignals().Contains(sigRLSD)); break;
    case evRx80Full: FireRx80Full(); break;
  }
}

void TCustomComPort::FireAfterClose() { if (OnAfterClose) OnAfterClose(this); }
void TCustomComPort::FireAfterOpen() { if (OnAfterOpen) OnAfterOpen(this); }
void TCustomComPort::FireBeforeClose() { if (OnBeforeClose) OnBeforeClose(this); }
void TCustomComPort::FireBeforeOpen() { if (OnBeforeOpen) OnBeforeOpen(this); }
void TCustomComPort::FireRxChar(int Count) { if (OnRxChar) OnRxChar(this, Count); }
void TCustomComPort::FireTxEmpty() { if (OnTxEmpty) OnTxEmpty(this); }
void TCustomComPort::FireBreak() { if (OnBreak) OnBreak(this); }
void TCustomComPort::FireRing() { if (OnRing) OnRing(this); }
void TCustomComPort::FireRxFlag() { if (OnRxFlag) OnRxFlag(this); }
void TCustomComPort::FireCTSChange(bool OnOff) { if (OnCTSChange) OnCTSChange(this, OnOff); }
void TCustomComPort::FireDSRChange(bool OnOff) { if (OnDSRChange) OnDSRChange(this, OnOff); }
void TCustomComPort::FireError(TComErrors Errors) { if (OnError) OnError(this, Errors); }
void TCustomComPort::FireRLSDChange(bool OnOff) { if (OnRLSDChange) OnRLSDChange(this, OnOff); }
void TCustomComPort::FireRx80Full() { if (OnRx80Full) OnRx80Full(this); }
