#pragma once
// A device control block as a Linux line: the termios it gives, and what
// termios has no word for, which the device layer does itself. The
// translation needs no device, so every flag is tested by comparing fields.
// Internal to the serial component.
//
// What a driver cannot give, and how it is translated:
// - 1.5 stop bits: CSTOPB (two; UARTs send 1.5 stop bits for CSTOPB with 5
//   data bits anyway).
// - DTR handshake (fDtrControl 2): Linux has no input flow control on DTR;
//   DTR is raised and left on.
// - RTS toggle (fRtsControl 3): the driver's RS-485 mode (RTS on while
//   sending), where it has one.
// - CTS/RTS: CRTSCTS covers both directions at once, so fOutxCtsFlow alone
//   or fRtsControl handshake alone switches on both.
// - fTXContinueOnXoff, XonLim, XoffLim and EofChar: Linux has fixed
//   thresholds; they are ignored.
// - DiscardNull, EvtChar and the error replacement (the input filter), DSR
//   sensitivity and DSR output flow: done by the layer in user space.
#include <termios.h>

#include <cstdint>

#include "serial/ComDevice.h"
#include "serial/InputFilter.h"

enum class TRtsMode : uint8_t {
  kOff,
  kOn,
  kHandshake,  // CRTSCTS: the driver drives RTS
  kToggle,     // RS-485 mode: RTS on while sending
};

struct TLineSetup {
  termios tio{};           // the raw line with size, parity, stop bits, flow control, characters, speed
  uint32_t freeSpeed = 0;  // a rate without a B-constant (then tio's speed is not used); 0: none
  bool dtr = false;        // DTR on
  TRtsMode rts = TRtsMode::kOff;
  TInputFilterSettings filter;
  bool dsrSensitive = false;      // input taken while DSR is off is dropped
  bool dsrOutFlow = false;        // output waits while DSR is off
  bool inputFlowControl = false;  // XON/XOFF input or CTS/RTS: the own queue must pace the kernel
};

// The line for dcb, starting from the device's current termios. Throws
// ComOsError 87 (EINVAL) for a block no line can take: baud rate 0, byte
// size outside 5..8, parity above 4, stop bits above 2, DTR control 3, or a
// free speed where the kernel has no termios2.
TLineSetup LineSetupForDcb(const TDCB& dcb, const termios& current);

// Raw, binary line: no line editing, no echo, no signals, no translation of
// CR/LF, no output processing; the modem lines do not gate reception, and
// closing does not drop DTR. read() returns at once with what is there.
void MakeRaw(termios& t);

// The kernel's termios with free speeds (glibc's <termios.h> and the
// kernel's <asm/termbits.h> cannot be included together).
struct TTermios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};

// The whole line of a setup with a free speed as one termios2: one ioctl
// applies all of it or nothing.
TTermios2 Termios2For(const TLineSetup& setup);

// Applies the line to the device in one call (tcsetattr, or TCSETS2 for a
// free speed), so that a failure leaves the line as it was. Throws
// ComOsError.
void ApplyLineSetup(int fd, const TLineSetup& setup);
