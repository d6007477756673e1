#pragma once
// The device layer under the serial port component: one open serial device
// and the operating-system operations the component needs of it, shaped
// after the Windows communications API the component was designed around
// (device control block, COMMTIMEOUTS, ClearCommError, modem status, purge,
// event mask and event wait). Two implementations: the Linux one on termios
// (serial/LinuxComDevice.h) and a recording fake for the tests.
//
// Every operation that fails throws ComOsError, carrying the Windows-style
// error code the component puts into its messages and the errno behind it.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// Windows error codes the Linux layer reports (errno -> code table in
// ComDevice.cpp).
namespace winerr {
inline constexpr int kFileNotFound = 2;        // ENOENT, ENODEV, ENXIO, no such COM name
inline constexpr int kAccessDenied = 5;        // EACCES, EPERM
inline constexpr int kInvalidHandle = 6;       // EBADF
inline constexpr int kNotEnoughMemory = 8;     // ENOMEM
inline constexpr int kSharingViolation = 32;   // EBUSY, EWOULDBLOCK on the lock
inline constexpr int kInvalidParameter = 87;   // EINVAL
inline constexpr int kOperationAborted = 995;  // a wait cancelled by a stop request
inline constexpr int kIoDevice = 1117;         // EIO, device vanished
inline constexpr int kSemTimeout = 121;        // ETIMEDOUT
inline constexpr int kGenFailure = 31;         // anything else
}  // namespace winerr

// The Windows-style code for an errno (table beside its definition in
// ComDevice.cpp). Every place that turns an errno into a code uses it.
int WinCodeFromErrno(int sysErrno);

class ComOsError : public std::runtime_error {
 public:
  ComOsError(int winCode, int sysErrno, const std::string& what)
      : std::runtime_error(what), winCode_(winCode), sysErrno_(sysErrno) {}
  int WinCode() const { return winCode_; }
  int SysErrno() const { return sysErrno_; }

 private:
  int winCode_;
  int sysErrno_;
};

// Throws ComOsError for an errno, with what failed and the system's words.
[[noreturn]] void ThrowOsError(int sysErrno, const std::string& what);

// Device control block, field for field as the component fills it.
struct TDCB {
  uint32_t DCBlength = 28;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // bit 0 fBinary ... bits 12-13 fRtsControl
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};

namespace dcb {
inline constexpr uint32_t fBinary = 1u << 0;
inline constexpr uint32_t fParity = 1u << 1;
inline constexpr uint32_t fOutxCtsFlow = 1u << 2;
inline constexpr uint32_t fOutxDsrFlow = 1u << 3;
inline constexpr int fDtrControlShift = 4;  // 2 bits
inline constexpr uint32_t fDsrSensitivity = 1u << 6;
inline constexpr uint32_t fTXContinueOnXoff = 1u << 7;
inline constexpr uint32_t fOutX = 1u << 8;
inline constexpr uint32_t fInX = 1u << 9;
inline constexpr uint32_t fErrorChar = 1u << 10;
inline constexpr uint32_t fNull = 1u << 11;
inline constexpr int fRtsControlShift = 12;  // 2 bits
}  // namespace dcb

// Milliseconds; 0xFFFFFFFF is MAXDWORD.
struct TCommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};
inline constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

// What ClearCommError reports.
struct TComStat {
  uint32_t Errors = 0;  // CE_ flags, cleared by the call
  uint32_t InQue = 0;   // bytes waiting in the input queue
  uint32_t OutQue = 0;  // bytes not yet sent
};

namespace ce {
inline constexpr uint32_t RXOVER = 0x1, OVERRUN = 0x2, RXPARITY = 0x4, FRAME = 0x8, BREAK = 0x10,
                          TXFULL = 0x100, IOE = 0x400, MODE = 0x8000;
}
namespace ms {
inline constexpr uint32_t CTS_ON = 0x10, DSR_ON = 0x20, RING_ON = 0x40, RLSD_ON = 0x80;
}
namespace ev {
inline constexpr uint32_t RXCHAR = 0x0001, RXFLAG = 0x0002, TXEMPTY = 0x0004, CTS = 0x0008, DSR = 0x0010,
                          RLSD = 0x0020, BREAK = 0x0040, ERR = 0x0080, RING = 0x0100, PERR = 0x0200,
                          RX80FULL = 0x0400;
}
namespace purge {
inline constexpr uint32_t TXABORT = 0x1, RXABORT = 0x2, TXCLEAR = 0x4, RXCLEAR = 0x8;
}

// One open device. Read, Write, ClearCommError, GetCommModemStatus and
// PurgeComm may be called from the GUI thread while the event thread is
// inside WaitCommEvent; implementations are thread-safe for that.
class IComDevice {
 public:
  virtual ~IComDevice() = default;
  virtual void SetupComm(uint32_t inQueue, uint32_t outQueue) = 0;
  virtual void SetCommState(const TDCB& dcb) = 0;
  virtual void SetCommTimeouts(const TCommTimeouts& t) = 0;
  // Reads at most n bytes as the timeouts say (interval MAXDWORD with both
  // read totals 0: at once, with what is queued, possibly nothing).
  virtual uint32_t Read(char* buf, uint32_t n) = 0;
  // Writes all n bytes, blocking until done; the write timeouts may end it
  // short, and the count written is returned.
  virtual uint32_t Write(const char* buf, uint32_t n) = 0;
  virtual TComStat ClearCommError() = 0;
  virtual uint32_t GetCommModemStatus() = 0;  // ms:: flags
  virtual void PurgeComm(uint32_t flags) = 0;  // purge:: flags
  // Selects the events a wait reports; a mask of 0 ends a pending wait.
  virtual void SetCommMask(uint32_t mask) = 0;
  // Blocks until an event of the mask occurs and returns the ev:: flags that
  // occurred (events since the previous wait ended count too). Returns 0 when
  // the wait was ended by CancelWait or by SetCommMask(0). Throws ComOsError
  // when the device fails or vanishes; it never spins on a dead device.
  virtual uint32_t WaitCommEvent() = 0;
  // Ends a pending WaitCommEvent, or the next one if none is pending, at
  // once. Callable from any thread.
  virtual void CancelWait() = 0;
};

// Opens a device by its COM name ("COM3"), exclusively. Throws ComOsError.
using TComDeviceOpener = std::function<std::unique_ptr<IComDevice>(const std::string& portName)>;

