// The settings model of the serial port: text forms, port names, the event
// mask tables and the four settings objects.
#include "serial/ComSettings.h"

#include <cctype>
#include <iterator>

#include "portmap/ComName.h"
#include "serial/ComDevice.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

template <typename E, size_t N>
E FromText(const std::string& text, const char* const (&texts)[N], E fallback) {
  const std::string u = Upper(text);
  for (size_t i = 0; i < N; ++i)
    if (u == Upper(texts[i])) return static_cast<E>(i);
  return fallback;
}

template <size_t N>
std::string ToText(unsigned ordinal, const char* const (&texts)[N]) {
  return ordinal < N ? texts[ordinal] : "";
}

const char* const kBaudTexts[] = {"Custom", "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                                  "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const char* const kStopTexts[] = {"1", "1.5", "2"};
const char* const kDataTexts[] = {"5", "6", "7", "8"};
const char* const kParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kFlowTexts[] = {"Hardware", "Software", "None", "Custom"};

// EV_ flag of each event, by ordinal.
constexpr uint32_t kEventFlags[] = {ev::RXCHAR, ev::TXEMPTY, ev::RXFLAG, ev::RING,     ev::BREAK,
                                    ev::CTS,    ev::DSR,     ev::ERR,    ev::RLSD,     ev::RX80FULL};

}  // namespace

// ---------------------------------------------------------------------------

std::string BaudRateToText(TBaudRate value) { return ToText(value, kBaudTexts); }
TBaudRate TextToBaudRate(const std::string& text) { return FromText(text, kBaudTexts, br9600); }
std::string StopBitsToText(TStopBits value) { return ToText(value, kStopTexts); }
TStopBits TextToStopBits(const std::string& text) { return FromText(text, kStopTexts, sbOneStopBit); }
std::string DataBitsToText(TDataBits value) { return ToText(value, kDataTexts); }
TDataBits TextToDataBits(const std::string& text) { return FromText(text, kDataTexts, dbEight); }
std::string ParityToText(TParityBits value) { return ToText(value, kParityTexts); }
TParityBits TextToParity(const std::string& text) { return FromText(text, kParityTexts, prNone); }
std::string FlowControlToText(TFlowControl value) { return ToText(value, kFlowTexts); }
TFlowControl TextToFlowControl(const std::string& text) { return FromText(text, kFlowTexts, fcCustom); }

std::string NormalizePortName(const std::string& text) { return serial::ComName(serial::ComNumberOf(text)); }

uint32_t EventsToMask(TComEvents events) {
  uint32_t mask = 0;
  for (unsigned i = 0; i < std::size(kEventFlags); ++i)
    if (events.Contains(static_cast<TComEvent>(i))) mask |= kEventFlags[i];
  return mask;
}

TComEvents MaskToEvents(uint32_t mask) {
  TComEvents events;
  for (unsigned i = 0; i < std::size(kEventFlags); ++i)
    if (mask & kEventFlags[i]) events.Include(static_cast<TComEvent>(i));
  return events;
}

// ---------------------------------------------------------------------------
// Settings objects. A change reaches the owning port, which applies it to an
// open device and does nothing while closed.

#define ZOV_SETTINGS_CHANGED(Class) \
  void Class::Changed() {           \
    if (changed_) changed_();       \
  }
ZOV_SETTINGS_CHANGED(TComParity)
ZOV_SETTINGS_CHANGED(TComFlowControl)
ZOV_SETTINGS_CHANGED(TComTimeouts)
ZOV_SETTINGS_CHANGED(TComBuffer)
#undef ZOV_SETTINGS_CHANGED

void TComParity::CopyFields(const TComParity& o) {
  bits_ = o.bits_;
  check_ = o.check_;
  replace_ = o.replace_;
  replaceChar_ = o.replaceChar_;
}
void TComParity::Assign(const TComParity& source) {
  if (&source != this) CopyFields(source);
  Changed();
}
void TComParity::SetBits(TParityBits value) {
  if (value != bits_) { bits_ = value; Changed(); }
}
void TComParity::SetCheck(bool value) {
  if (value != check_) { check_ = value; Changed(); }
}
void TComParity::SetReplace(bool value) {
  if (value != replace_) { replace_ = value; Changed(); }
}
void TComParity::SetReplaceChar(char value) {
  if (value != replaceChar_) { replaceChar_ = value; Changed(); }
}

void TComFlowControl::CopyFields(const TComFlowControl& o) {
  outCTSFlow_ = o.outCTSFlow_;
  outDSRFlow_ = o.outDSRFlow_;
  controlDTR_ = o.controlDTR_;
  controlRTS_ = o.controlRTS_;
  xonXoffOut_ = o.xonXoffOut_;
  xonXoffIn_ = o.xonXoffIn_;
  dsrSensitivity_ = o.dsrSensitivity_;
  txContinueOnXoff_ = o.txContinueOnXoff_;
  xonChar_ = o.xonChar_;
  xoffChar_ = o.xoffChar_;
}
void TComFlowControl::Assign(const TComFlowControl& source) {
  if (&source != this) CopyFields(source);
  Changed();
}

TFlowControl TComFlowControl::FlowControl() const {
  if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
  return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
  if (value != fcCustom) {
    controlRTS_ = rtsDisable;
    outCTSFlow_ = xonXoffIn_ = xonXoffOut_ = false;
    if (value == fcHardware) {
      controlRTS_ = rtsHandshake;
      outCTSFlow_ = true;
    } else if (value == fcSoftware) {
      xonXoffIn_ = xonXoffOut_ = true;
    }
  }
  Changed();
}

#define ZOV_FLOW_SETTER(Name, field, Type) \
  void TComFlowControl::Set##Name(Type value) {  \
    if (value != field) {                        \
      field = value;                             \
      Changed();                                 \
    }                                            \
  }
ZOV_FLOW_SETTER(OutCTSFlow, outCTSFlow_, bool)
ZOV_FLOW_SETTER(OutDSRFlow, outDSRFlow_, bool)
ZOV_FLOW_SETTER(ControlDTR, controlDTR_, TDTRFlowControl)
ZOV_FLOW_SETTER(ControlRTS, controlRTS_, TRTSFlowControl)
ZOV_FLOW_SETTER(XonXoffOut, xonXoffOut_, bool)
ZOV_FLOW_SETTER(XonXoffIn, xonXoffIn_, bool)
ZOV_FLOW_SETTER(DSRSensitivity, dsrSensitivity_, bool)
ZOV_FLOW_SETTER(TxContinueOnXoff, txContinueOnXoff_, bool)
ZOV_FLOW_SETTER(XonChar, xonChar_, char)
ZOV_FLOW_SETTER(XoffChar, xoffChar_, char)
#undef ZOV_FLOW_SETTER

void TComTimeouts::CopyFields(const TComTimeouts& o) {
  readInterval_ = o.readInterval_;
  readTotalMultiplier_ = o.readTotalMultiplier_;
  readTotalConstant_ = o.readTotalConstant_;
  writeTotalMultiplier_ = o.writeTotalMultiplier_;
  writeTotalConstant_ = o.writeTotalConstant_;
}
void TComTimeouts::Assign(const TComTimeouts& source) {
  if (&source != this) CopyFields(source);
  Changed();
}
void TComTimeouts::Set(int& field, int value) {
  if (value == field) return;
  field = value;
  Changed();
}
void TComTimeouts::SetReadInterval(int value) { Set(readInterval_, value); }
void TComTimeouts::SetReadTotalMultiplier(int value) { Set(readTotalMultiplier_, value); }
void TComTimeouts::SetReadTotalConstant(int value) { Set(readTotalConstant_, value); }
void TComTimeouts::SetWriteTotalMultiplier(int value) { Set(writeTotalMultiplier_, value); }
void TComTimeouts::SetWriteTotalConstant(int value) { Set(writeTotalConstant_, value); }

void TComBuffer::CopyFields(const TComBuffer& o) {
  inputSize_ = o.inputSize_;
  outputSize_ = o.outputSize_;
}
void TComBuffer::Assign(const TComBuffer& source) {
  if (&source != this) CopyFields(source);
  Changed();
}
void TComBuffer::Set(int& field, int value) {
  if (value > 0 && value % 2 == 1) --value;  // queue sizes are kept even
  if (value == field) return;
  field = value;
  Changed();
}
void TComBuffer::SetInputSize(int value) { Set(inputSize_, value); }
void TComBuffer::SetOutputSize(int value) { Set(outputSize_, value); }
