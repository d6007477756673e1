#pragma once
// The settings of a serial port: the enumerations and sets, the text forms
// of the line settings, port-name normalisation, the event mask tables, and
// the four settings objects a port owns (Parity, FlowControl, Timeouts,
// Buffer). Plain C++; the port (serial/ComPort.h) applies them.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

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

// The events in the order a completed wait dispatches them.
inline constexpr TComEvent kDispatchOrder[10] = {evRxChar, evTxEmpty, evBreak, evRing,  evCTS,
                                                 evDSR,    evRxFlag,  evRLSD,  evError, evRx80Full};

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
// Settings objects. Each belongs to a port, which it tells of a change of one
// of its fields through the callback it was made with (the port applies the
// change to an open device), or stands alone (no callback). A setter whose
// new value equals the current one does nothing; assigning a whole object
// copies its fields and always tells. Copy-constructing gives a standalone
// object with the same values.

using TComSettingsChanged = std::function<void()>;

class TComParity {
 public:
  explicit TComParity(TComSettingsChanged changed = {}) : changed_(std::move(changed)) {}
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
  TComSettingsChanged changed_;
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  char replaceChar_ = 0;
};

class TComFlowControl {
 public:
  explicit TComFlowControl(TComSettingsChanged changed = {}) : changed_(std::move(changed)) {}
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
  TComSettingsChanged changed_;
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
  explicit TComTimeouts(TComSettingsChanged changed = {}) : changed_(std::move(changed)) {}
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
  void Changed();
  TComSettingsChanged changed_;
  int readInterval_ = -1;
  int readTotalMultiplier_ = 0;
  int readTotalConstant_ = 0;
  int writeTotalMultiplier_ = 100;
  int writeTotalConstant_ = 1000;
};

// Driver queue sizes in bytes; a positive odd size is stored one less.
class TComBuffer {
 public:
  explicit TComBuffer(TComSettingsChanged changed = {}) : changed_(std::move(changed)) {}
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
  void Changed();
  TComSettingsChanged changed_;
  int inputSize_ = 1024;
  int outputSize_ = 1024;
};
