#include "serial/TermiosLine.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <iterator>
#include <string>

#if defined(TCGETS2) && defined(TCSETS2)
#ifndef BOTHER
#define BOTHER 0010000
#endif
#ifndef IBSHIFT
#define IBSHIFT 16
#endif
#define ZOV_HAVE_TERMIOS2 1
// The name the kernel's ioctl numbers are written with.
struct termios2 : TTermios2 {};
#endif

static_assert(sizeof(TTermios2) == 44, "the kernel's struct termios2");

namespace {

speed_t SpeedConstant(uint32_t baud) {
  switch (baud) {
    case 50: return B50; case 75: return B75; case 110: return B110; case 134: return B134;
    case 150: return B150; case 200: return B200; case 300: return B300; case 600: return B600;
    case 1200: return B1200; case 1800: return B1800; case 2400: return B2400;
    case 4800: return B4800; case 9600: return B9600; case 19200: return B19200;
    case 38400: return B38400; case 57600: return B57600; case 115200: return B115200;
    case 230400: return B230400; case 460800: return B460800; case 500000: return B500000;
    case 576000: return B576000; case 921600: return B921600; case 1000000: return B1000000;
    case 1152000: return B1152000; case 1500000: return B1500000; case 2000000: return B2000000;
#ifdef B2500000
    case 2500000: return B2500000;
#endif
#ifdef B3000000
    case 3000000: return B3000000;
#endif
#ifdef B3500000
    case 3500000: return B3500000;
#endif
#ifdef B4000000
    case 4000000: return B4000000;
#endif
    default: return B0;
  }
}

}  // namespace

void MakeRaw(termios& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                 IUCLC | IXON | IXANY | IXOFF | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE |
                 IEXTEN | TOSTOP);
  t.c_cflag &= ~HUPCL;
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

TLineSetup LineSetupForDcb(const TDCB& d, const termios& current) {
  const uint32_t f = d.Flags;
  const unsigned dtr = (f >> dcb::fDtrControlShift) & 3;
  const unsigned rts = (f >> dcb::fRtsControlShift) & 3;
  if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > 4 || d.StopBits > 2 || dtr == 3)
    ThrowOsError(EINVAL, "line settings");
  const bool crtscts = (f & dcb::fOutxCtsFlow) || rts == 2;

  TLineSetup s;
  termios& t = s.tio;
  t = current;
  MakeRaw(t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[d.ByteSize - 5];
  switch (d.Parity) {
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;  // mark
    case 4: t.c_cflag |= PARENB | CMSPAR; break;           // space
    default: break;
  }
  if (d.StopBits != 0) t.c_cflag |= CSTOPB;  // 2, and 1.5 (no such setting)
  if (crtscts) t.c_cflag |= CRTSCTS;
  if (f & dcb::fParity) t.c_iflag |= INPCK;
  s.filter.errorMarks = (f & dcb::fParity) && (f & dcb::fErrorChar);
  if (s.filter.errorMarks) t.c_iflag |= PARMRK;
  if (f & dcb::fOutX) t.c_iflag |= IXON;
  if (f & dcb::fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);

  if (const speed_t sp = SpeedConstant(d.BaudRate); sp != B0) {
    ::cfsetispeed(&t, sp);
    ::cfsetospeed(&t, sp);
#ifdef CIBAUD
    // An input speed left behind by an earlier free speed would otherwise
    // keep the input at that rate: none means "as the output".
    t.c_cflag &= ~CIBAUD;
#endif
  } else {
#ifndef ZOV_HAVE_TERMIOS2
    ThrowOsError(EINVAL, std::to_string(d.BaudRate) + " baud");
#endif
    s.freeSpeed = d.BaudRate;
  }

  s.dtr = dtr != 0;  // enable, and handshake (not available: left on)
  if (crtscts)
    s.rts = TRtsMode::kHandshake;
  else
    s.rts = rts == 1 ? TRtsMode::kOn : rts == 3 ? TRtsMode::kToggle : TRtsMode::kOff;
  s.filter.discardNull = f & dcb::fNull;
  s.filter.errorChar = d.ErrorChar;
  s.filter.eventChar = d.EvtChar;
  s.dsrSensitive = f & dcb::fDsrSensitivity;
  s.dsrOutFlow = f & dcb::fOutxDsrFlow;
  s.inputFlowControl = (f & dcb::fInX) || crtscts;
  return s;
}

TTermios2 Termios2For(const TLineSetup& s) {
  TTermios2 t2{};
  t2.c_iflag = s.tio.c_iflag;
  t2.c_oflag = s.tio.c_oflag;
  t2.c_cflag = s.tio.c_cflag;
  t2.c_lflag = s.tio.c_lflag;
  t2.c_line = s.tio.c_line;
  for (size_t i = 0; i < std::size(t2.c_cc); ++i) t2.c_cc[i] = s.tio.c_cc[i];  // the same indices
#ifdef ZOV_HAVE_TERMIOS2
  t2.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t2.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
#endif
  t2.c_ispeed = t2.c_ospeed = s.freeSpeed;
  return t2;
}

void ApplyLineSetup(int fd, const TLineSetup& s) {
  if (s.freeSpeed == 0) {
    if (::tcsetattr(fd, TCSANOW, &s.tio) != 0) ThrowOsError(errno, "tcsetattr");
    return;
  }
#ifdef ZOV_HAVE_TERMIOS2
  termios2 t2;
  static_cast<TTermios2&>(t2) = Termios2For(s);
  if (::ioctl(fd, TCSETS2, &t2) != 0) ThrowOsError(errno, "TCSETS2 " + std::to_string(s.freeSpeed) + " baud");
#else
  ThrowOsError(EINVAL, std::to_string(s.freeSpeed) + " baud");
#endif
}
