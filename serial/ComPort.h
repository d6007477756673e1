#pragma once
// The serial port component: the port object TComPort with its settings
// model, the device configuration built from it, blocking send and receive,
// the component's error EComPort, and the event thread that turns line
// events into notifications on the GUI thread.
//
// Every failure is raised as EComPort; nothing returns error codes. All
// operations are meant for the GUI thread; notifications run there too
// (SyncMethod smThreadSync and smWindowSync) or on the event thread (smNone).
#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

#include "serial/ComDevice.h"

// ---------------------------------------------------------------------------
// Enumerations (each held in one byte, ordinals in declaration order)

enum TBaudRate : uint8_t {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000
};
enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };
enum TComEvent : uint8_t {
  evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
enum TComSignal : uint8_t { sigCTS, sigDSR, sigRing, sigRLSD };
enum TComError : uint8_t {
  errFrame, errRxParity, errOverrun, errBreak, errIO, errMode, errRxOverflow, errTxFull
};

// A set of enumeration members, bit n standing for the member with ordinal n.
template <typename E, typename Bits>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  static constexpr TEnumSet FromBits(Bits bits) {
    TEnumSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TEnumSet& Include(E m) { bits_ |= Bit(m); return *this; }
  constexpr TEnumSet& Exclude(E m) { bits_ &= static_cast<Bits>(~Bit(m)); return *this; }
  friend constexpr TEnumSet operator+(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TEnumSet operator-(TEnumSet a, TEnumSet b) {
    return FromBits(static_cast<Bits>(a.bits_ & ~b.bits_));
  }
  friend constexpr TEnumSet operator*(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr Bits Bit(E m) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(m)); }
  Bits bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent, uint16_t>;
using TLineSignals = TEnumSet<TComSignal, uint8_t>;
using TComErrors = TEnumSet<TComError, uint8_t>;

inline constexpr TComEvents kAllComEvents =
    TComEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full};

// The device's EV_ event mask for a set of events, and back; flags other
// than the ten are ignored.
uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(uint32_t mask);

// ---------------------------------------------------------------------------
// Text forms of the line settings. From-text functions compare upper-cased,
// without trimming, and return the fallback when nothing matches.

std::string BaudRateToText(TBaudRate value);
TBaudRate TextToBaudRate(const std::string& text);        // fallback br9600
std::string StopBitsToText(TStopBits value);
TStopBits TextToStopBits(const std::string& text);        // fallback sbOneStopBit
std::string DataBitsToText(TDataBits value);
TDataBits TextToDataBits(const std::string& text);        // fallback dbEight
std::string ParityToText(TParityBits value);
TParityBits TextToParity(const std::string& text);        // fallback prNone
std::string FlowControlToText(TFlowControl value);
TFlowControl TextToFlowControl(const std::string& text);  // fallback fcCustom

// "com3", "3" and "COM3" give "COM3"; anything out of 1..16 or unparsable
// gives "COM1".
std::string NormalizePortName(const std::string& text);

// ---------------------------------------------------------------------------
// The component's error.

class EComPort : public std::runtime_error {
 public:
  static constexpr int kMessageCount = 21;

  explicit EComPort(int portErrorCode);                            // OsErrorCode() == -1
  EComPort(int portErrorCode, int osErrorCode, int sysErrno = 0);  // "<text> (win error code: N)"
  int PortErrorCode() const { return portErrorCode_; }
  int OsErrorCode() const { return osErrorCode_; }
  int Errno() const { return errno_; }  // Linux errno behind OsErrorCode, 0 when none

  // The table text of a code 1..21; "" for any other.
  static std::string MessageText(int portErrorCode);

 private:
  int portErrorCode_;
  int osErrorCode_;
  int errno_;
};

// ---------------------------------------------------------------------------
// The application's standard error display. An exception thrown by a
// notification handler (or a dispatch query) while the port delivers on the
// GUI thread is caught there and handed to this sink; the app installs its
// error box at start. Default: the message on stderr. Thread-safe to set.
void SetApplicationErrorHandler(std::function<void(std::exception_ptr)> handler);
void ShowApplicationError(std::exception_ptr error);

// ---------------------------------------------------------------------------
// Settings objects. Each is owned by its port (or stands alone, owner null)
// and pushes a change of one of its fields to an open device; a setter whose
// new value equals the current one does nothing. Assigning a whole object
// copies its fields and always applies. Copy-constructing gives a standalone
// object with the same values.

class TCustomComPort;

class TComParity {
 public:
  explicit TComParity(TCustomComPort* owner = nullptr) : owner_(owner) {}
  TComParity(const TComParity& other) : TComParity() { CopyFields(other); }
  TComParity& operator=(const TComParity& other) { Assign(other); return *this; }
  void Assign(const TComParity& source);

  TParityBits Bits() const { return bits_; }
  void SetBits(TParityBits value);
  bool Check() const { return check_; }
  void SetCheck(bool value);
  bool Replace() const { return replace_; }
  void SetReplace(bool value);
  char ReplaceChar() const { return replaceChar_; }
  void SetReplaceChar(char value);

 private:
  void CopyFields(const TComParity& o);
  void Changed();
  TCustomComPort* owner_;
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  char replaceChar_ = 0;
};

class TComFlowControl {
 public:
  explicit TComFlowControl(TCustomComPort* owner = nullptr) : owner_(owner) {}
  TComFlowControl(const TComFlowControl& other) : TComFlowControl() { CopyFields(other); }
  TComFlowControl& operator=(const TComFlowControl& other) { Assign(other); return *this; }
  void Assign(const TComFlowControl& source);  // every field but the computed shorthand

  // The shorthand: computed from ControlRTS, OutCTSFlow, XonXoffIn and
  // XonXoffOut; setting it (fcCustom included) always applies.
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl value);

  bool OutCTSFlow() const { return outCTSFlow_; }
  void SetOutCTSFlow(bool value);
  bool OutDSRFlow() const { return outDSRFlow_; }
  void SetOutDSRFlow(bool value);
  TDTRFlowControl ControlDTR() const { return controlDTR_; }
  void SetControlDTR(TDTRFlowControl value);
  TRTSFlowControl ControlRTS() const { return controlRTS_; }
  void SetControlRTS(TRTSFlowControl value);
  bool XonXoffOut() const { return xonXoffOut_; }
  void SetXonXoffOut(bool value);
  bool XonXoffIn() const { return xonXoffIn_; }
  void SetXonXoffIn(bool value);
  bool DSRSensitivity() const { return dsrSensitivity_; }
  void SetDSRSensitivity(bool value);
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetTxContinueOnXoff(bool value);
  char XonChar() const { return xonChar_; }
  void SetXonChar(char value);
  char XoffChar() const { return xoffChar_; }
  void SetXoffChar(char value);

 private:
  void CopyFields(const TComFlowControl& o);
  void Changed();
  TCustomComPort* owner_;
  bool outCTSFlow_ = false;
  bool outDSRFlow_ = false;
  TDTRFlowControl controlDTR_ = dtrDisable;
  TRTSFlowControl controlRTS_ = rtsDisable;
  bool xonXoffOut_ = false;
  bool xonXoffIn_ = false;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
  char xonChar_ = 17;
  char xoffChar_ = 19;
};

// Milliseconds; -1 stands for the device's largest value (MAXDWORD).
class TComTimeouts {
 public:
  explicit TComTimeouts(TCustomComPort* owner = nullptr) : owner_(owner) {}
  TComTimeouts(const TComTimeouts& other) : TComTimeouts() { CopyFields(other); }
  TComTimeouts& operator=(const TComTimeouts& other) { Assign(other); return *this; }
  void Assign(const TComTimeouts& source);

  int ReadInterval() const { return readInterval_; }
  void SetReadInterval(int value);
  int ReadTotalMultiplier() const { return readTotalMultiplier_; }
  void SetReadTotalMultiplier(int value);
  int ReadTotalConstant() const { return readTotalConstant_; }
  void SetReadTotalConstant(int value);
  int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
  void SetWriteTotalMultiplier(int value);
  int WriteTotalConstant() const { return writeTotalConstant_; }
  void SetWriteTotalConstant(int value);

 private:
  void CopyFields(const TComTimeouts& o);
  void Set(int& field, int value);
  TCustomComPort* owner_;
  int readInterval_ = -1;
  int readTotalMultiplier_ = 0;
  int readTotalConstant_ = 0;
  int writeTotalMultiplier_ = 100;
  int writeTotalConstant_ = 1000;
};

// Driver queue sizes in bytes; a positive odd size is stored one less.
class TComBuffer {
 public:
  explicit TComBuffer(TCustomComPort* owner = nullptr) : owner_(owner) {}
  TComBuffer(const TComBuffer& other) : TComBuffer() { CopyFields(other); }
  TComBuffer& operator=(const TComBuffer& other) { Assign(other); return *this; }
  void Assign(const TComBuffer& source);

  int InputSize() const { return inputSize_; }
  void SetInputSize(int value);
  int OutputSize() const { return outputSize_; }
  void SetOutputSize(int value);

 private:
  void CopyFields(const TComBuffer& o);
  void Set(int& field, int value);
  TCustomComPort* owner_;
  int inputSize_ = 1024;
  int outputSize_ = 1024;
};

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

// ---------------------------------------------------------------------------
// The port.

class TCustomComPort : public QObject {  // destroyed() signal = "tell me when destroyed"
  Q_OBJECT

 public:
  // Window message number with which smWindowSync delivers one event to the
  // NotifyWindow; wParam is the event's EV_ flag.
  static constexpr int PortEventMessage = 1025;

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
  friend class TComParity;
  friend class TComFlowControl;
  friend class TComTimeouts;
  friend class TComBuffer;
  friend class TComThread;
  friend class TComNotifyWindow;

  // Runs the notification of one event (the dispatch of the event thread).
  void DispatchEvent(TComEvent event);
  void StopEventThread();
  std::shared_ptr<IComDevice> DeviceOrThrow(int portErrorCode) const;
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
  TComParity parity_{this};
  TComFlowControl flowControl_{this};
  TComTimeouts timeouts_{this};
  TComBuffer buffer_{this};

  TComDeviceOpener opener_;
  TGuiPoster guiPoster_;
  std::shared_ptr<IComDevice> device_;
  std::unique_ptr<TComThread> thread_;
  std::unique_ptr<TComNotifyWindow> notifyWindow_;
};

// The port as the program places it: every setting published.
class TComPort : public TCustomComPort {
  Q_OBJECT

 public:
  explicit TComPort(QObject* owner = nullptr) : TCustomComPort(owner) {}
};

// smWindowSync's hidden receiver on the GUI thread: one PortEventMessage per
// event, wParam the event's EV_ flag (others ignored); every other message
// gets the default answer 0.
class TComNotifyWindow : public QObject {
  Q_OBJECT

 public:
  explicit TComNotifyWindow(TCustomComPort* port) : port_(port) {}
  intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  TCustomComPort* port_;
};
