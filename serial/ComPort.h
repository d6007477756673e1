#pragma once
// The serial port object TComPort: opening and configuring the device from
// its settings (serial/ComSettings.h), blocking send and receive, driver
// queries, and notifications from the event thread.
//
// Every failure is raised as EComPort (serial/ComError.h); nothing returns
// error codes. All operations are meant for the GUI thread; notifications
// run there too (SyncMethod smThreadSync and smWindowSync) or on the event
// thread (smNone).
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/ComDevice.h"
#include "serial/ComError.h"
#include "serial/ComSettings.h"

// ---------------------------------------------------------------------------
// Handler types (Sender is the port).
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TRxCharEvent = std::function<void(QObject* Sender, int Count)>;
using TComSignalEvent = std::function<void(QObject* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;

// One started read or write (see SendText / ReceiveText).
enum TIoKind : uint8_t { ioWrite = 0, ioRead = 1 };
struct TPendingIo {
  TIoKind Kind = ioWrite;
  bool Finished = false;     // the device has finished the operation
  uint32_t Transferred = 0;  // bytes transferred
  int OsErrorCode = 0;       // Windows-style code of a failure, 0 when none
  int SysErrno = 0;          // errno behind it
};

class TComThread;
class TComNotifyWindow;
class TComLossReport;

// ---------------------------------------------------------------------------
// The port.

class TCustomComPort : public QObject {  // destroyed() signal = "tell me when destroyed"
  Q_OBJECT

 public:
  // Window message number with which smWindowSync delivers one event to the
  // NotifyWindow; wParam is the event's EV_ flag.
  static constexpr int PortEventMessage = 1025;  // kPortEventMessage of serial/ComNotifyWindow.h

  explicit TCustomComPort(QObject* owner = nullptr);
  ~TCustomComPort() override;  // closes an open port first

  void OpenPort();
  void ClosePort();
  bool Connected() const { return connected_; }
  void SetConnected(bool value);

  std::string Port() const { return port_; }
  void SetPort(const std::string& value);  // stores the normalised "COMn"
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate value);
  int CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(int value);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits value);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits value);
  bool DiscardNull() const { return discardNull_; }
  void SetDiscardNull(bool value);
  char EventChar() const { return eventChar_; }
  void SetEventChar(char value);
  TComEvents Events() const { return events_; }
  void SetEvents(TComEvents value);  // takes effect at the next open
  TSyncMethod SyncMethod() const { return syncMethod_; }
  void SetSyncMethod(TSyncMethod value);  // EComPort 14 while open

  TComParity& Parity() { return parity_; }
  const TComParity& Parity() const { return parity_; }
  void SetParity(const TComParity& value) { parity_.Assign(value); }
  TComFlowControl& FlowControl() { return flowControl_; }
  const TComFlowControl& FlowControl() const { return flowControl_; }
  void SetFlowControl(const TComFlowControl& value) { flowControl_.Assign(value); }
  TComTimeouts& Timeouts() { return timeouts_; }
  const TComTimeouts& Timeouts() const { return timeouts_; }
  void SetTimeouts(const TComTimeouts& value) { timeouts_.Assign(value); }
  TComBuffer& Buffer() { return buffer_; }
  const TComBuffer& Buffer() const { return buffer_; }
  void SetBuffer(const TComBuffer& value) { buffer_.Assign(value); }

  // Writes Text whole, blocking until the device has finished; returns the
  // bytes written (fewer when the write timeout ended it). EComPort 2.
  int SendText(const std::string& Text);
  // Reads at most Count bytes into Text (its length becomes the count read);
  // with the default timeouts it never waits. EComPort 3.
  int ReceiveText(std::string& Text, int Count);
  int InputQueueCount();      // EComPort 10
  TLineSignals LineSignals();  // EComPort 11
  TComErrors LineErrors();     // EComPort 10; reading clears them
  void AbortPendingIo();       // EComPort 5
  // For a caller that learns of a failure from the component's own report
  // (the event thread's failed wait) rather than from an operation of its
  // own: raises it as an operation would, so that it counts as the caller's
  // one error for that failure (marked as already reported when the report
  // has been shown).
  [[noreturn]] void RaiseReportedFailure(const EComPort& error) const { RaiseOsError(error); }

  // Building blocks of SendText and ReceiveText.
  TPendingIo* NewPendingIo();
  void FreePendingIo(TPendingIo* record);
  int WaitForOperation(TPendingIo* record);  // EComPort 4 without a record

  // What the device is configured with, from the current settings.
  TDCB DeviceControlBlock() const;
  TCommTimeouts CommTimeouts() const;

  // How the port reaches its device; the default opens the Linux device the
  // COM name stands for. Takes effect at the next open.
  void SetDeviceOpener(TComDeviceOpener opener);
  // The opener of ports that have none of their own (null: the Linux one).
  static void SetDefaultDeviceOpener(TComDeviceOpener opener);

  // How the event thread's hand-over reaches the GUI thread: run() must be
  // called there soon (it does nothing when the batch is gone). Default: a
  // queued call on the application object; with none, at once on the event
  // thread. Takes effect at the next open.
  using TGuiPoster = std::function<void(std::function<void()> run)>;
  void SetGuiPoster(TGuiPoster poster);

  // Whether an event thread runs for this port (only while open with a
  // non-empty Events).
  bool HasEventThread() const { return thread_ != nullptr; }
  // The hidden receiver of smWindowSync's messages; null unless open with
  // smWindowSync and a non-empty Events.
  TComNotifyWindow* NotifyWindow() const { return notifyWindow_.get(); }

  TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose, OnTxEmpty, OnBreak, OnRing, OnRxFlag,
      OnRx80Full;
  TRxCharEvent OnRxChar;
  TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
  TComErrorEvent OnError;

 protected:
  virtual void OpenDevice();
  virtual void CloseDevice();
  virtual void ConfigureDevice();

  virtual void FireAfterClose();
  virtual void FireAfterOpen();
  virtual void FireBeforeClose();
  virtual void FireBeforeOpen();
  virtual void FireRxChar(int Count);
  virtual void FireTxEmpty();
  virtual void FireBreak();
  virtual void FireRing();
  virtual void FireRxFlag();
  virtual void FireCTSChange(bool OnOff);
  virtual void FireDSRChange(bool OnOff);
  virtual void FireError(TComErrors Errors);
  virtual void FireRLSDChange(bool OnOff);
  virtual void FireRx80Full();

  virtual void ApplyLineSettings();
  virtual void ApplyTimeoutSettings();
  virtual void ApplyBufferSettings();

 private:
  // Runs the notification of one event (the dispatch of the event thread).
  void DispatchEvent(TComEvent event);
  void StopEventThread();
  std::shared_ptr<IComDevice> DeviceOrThrow(int portErrorCode) const;
  // Every error with an OS code that an operation raises to its caller
  // passes here (one lost device, one message: serial/ComLossReport.h).
  [[noreturn]] void RaiseOsError(EComPort error) const;
  // Runs a device operation; its ComOsError is raised as EComPort with
  // portErrorCode.
  template <typename F>
  auto Checked(int portErrorCode, F&& f) const -> decltype(f());
  void SetLineSetting(auto& field, auto value);

  bool connected_ = false;
  bool closing_ = false;  // inside ClosePort: a nested close does nothing
  std::string port_ = "COM1";
  TBaudRate baudRate_ = br9600;
  int customBaudRate_ = 9600;
  TStopBits stopBits_ = sbOneStopBit;
  TDataBits dataBits_ = dbEight;
  bool discardNull_ = false;
  char eventChar_ = 0;
  TComEvents events_ = kAllComEvents;
  TSyncMethod syncMethod_ = smThreadSync;
  TComParity parity_{[this] { ApplyLineSettings(); }};
  TComFlowControl flowControl_{[this] { ApplyLineSettings(); }};
  TComTimeouts timeouts_{[this] { ApplyTimeoutSettings(); }};
  TComBuffer buffer_{[this] { ApplyBufferSettings(); }};

  TComDeviceOpener opener_;
  TGuiPoster guiPoster_;
  std::shared_ptr<IComDevice> device_;
  std::unique_ptr<TComThread> thread_;
  std::unique_ptr<TComNotifyWindow> notifyWindow_;
  std::shared_ptr<TComLossReport> loss_;  // of the current (or last) open
};

// The port as the program places it: every setting published.
class TComPort : public TCustomComPort {
  Q_OBJECT

 public:
  explicit TComPort(QObject* owner = nullptr) : TCustomComPort(owner) {}
};
