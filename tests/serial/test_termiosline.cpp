// A device control block as a Linux line, field by field: what no pty can
// show (mark and space parity, CTS/RTS, RS-485, DTR, DSR, the error marks)
// is checked here on the translation itself.
#include <gtest/gtest.h>

#include <functional>

#include "serial/TermiosLine.h"

namespace {

// ComPort1's block: 9600 8N1, binary, NULs discarded, DTR and RTS off.
TDCB ProgramDcb() {
  TDCB d;
  d.BaudRate = 9600;
  d.Flags = dcb::fBinary | dcb::fNull;
  d.XonLim = d.XoffLim = 256;
  return d;
}

// A terminal as a login shell leaves it: everything the raw line must undo.
termios CookedTermios() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXANY | ISTRIP | BRKINT | IMAXBEL;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS7 | PARENB | HUPCL | CREAD | CRTSCTS | CSTOPB;
  t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  ::cfsetispeed(&t, B38400);
  ::cfsetospeed(&t, B38400);
  return t;
}

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kInputBits = INPCK | PARMRK | IXON | IXOFF;

// What a translation is judged by.
struct Seen {
  tcflag_t size = CS8;
  tcflag_t parity = 0;
  bool twoStopBits = false;
  bool crtscts = false;
  tcflag_t input = 0;  // of kInputBits
  cc_t xon = 17, xoff = 19;
  speed_t speed = B9600;  // when it has a B-constant
  uint32_t freeSpeed = 0;
  bool dtr = false;
  TRtsMode rts = TRtsMode::kOff;
  bool discardNull = true, errorMarks = false;
  char errorChar = 0, eventChar = 0;
  bool dsrSensitive = false, dsrOutFlow = false, inputFlowControl = false;
  bool operator==(const Seen&) const = default;
};

Seen Look(const TLineSetup& s) {
  Seen v;
  v.size = s.tio.c_cflag & CSIZE;
  v.parity = s.tio.c_cflag & kParityBits;
  v.twoStopBits = s.tio.c_cflag & CSTOPB;
  v.crtscts = s.tio.c_cflag & CRTSCTS;
  v.input = s.tio.c_iflag & kInputBits;
  v.xon = s.tio.c_cc[VSTART];
  v.xoff = s.tio.c_cc[VSTOP];
  v.freeSpeed = s.freeSpeed;
  v.speed = s.freeSpeed ? B0 : ::cfgetospeed(&s.tio);
  v.dtr = s.dtr;
  v.rts = s.rts;
  v.discardNull = s.filter.discardNull;
  v.errorMarks = s.filter.errorMarks;
  v.errorChar = s.filter.errorChar;
  v.eventChar = s.filter.eventChar;
  v.dsrSensitive = s.dsrSensitive;
  v.dsrOutFlow = s.dsrOutFlow;
  v.inputFlowControl = s.inputFlowControl;
  return v;
}

uint32_t Dtr(uint32_t v) { return v << dcb::fDtrControlShift; }
uint32_t Rts(uint32_t v) { return v << dcb::fRtsControlShift; }

struct Case {
  const char* what;
  std::function<void(TDCB&)> change;
  std::function<void(Seen&)> expect;
};

const Case kCases[] = {
    {"the program's line", [](TDCB&) {}, [](Seen&) {}},
    {"5 data bits", [](TDCB& d) { d.ByteSize = 5; }, [](Seen& s) { s.size = CS5; }},
    {"6 data bits", [](TDCB& d) { d.ByteSize = 6; }, [](Seen& s) { s.size = CS6; }},
    {"7 data bits", [](TDCB& d) { d.ByteSize = 7; }, [](Seen& s) { s.size = CS7; }},
    {"odd parity", [](TDCB& d) { d.Parity = 1; }, [](Seen& s) { s.parity = PARENB | PARODD; }},
    {"even parity", [](TDCB& d) { d.Parity = 2; }, [](Seen& s) { s.parity = PARENB; }},
    {"mark parity", [](TDCB& d) { d.Parity = 3; }, [](Seen& s) { s.parity = PARENB | PARODD | CMSPAR; }},
    {"space parity", [](TDCB& d) { d.Parity = 4; }, [](Seen& s) { s.parity = PARENB | CMSPAR; }},
    {"1.5 stop bits", [](TDCB& d) { d.StopBits = 1; }, [](Seen& s) { s.twoStopBits = true; }},
    {"2 stop bits", [](TDCB& d) { d.StopBits = 2; }, [](Seen& s) { s.twoStopBits = true; }},
    {"parity checked", [](TDCB& d) { d.Flags |= dcb::fParity; }, [](Seen& s) { s.input = INPCK; }},
    {"parity errors replaced",
     [](TDCB& d) {
       d.Flags |= dcb::fParity | dcb::fErrorChar;
       d.ErrorChar = '?';
     },
     [](Seen& s) {
       s.input = INPCK | PARMRK;
       s.errorMarks = true;
       s.errorChar = '?';
     }},
    {"a replacement without the check marks nothing",
     [](TDCB& d) {
       d.Flags |= dcb::fErrorChar;
       d.ErrorChar = '?';
     },
     [](Seen& s) { s.errorChar = '?'; }},
    {"output waits for CTS", [](TDCB& d) { d.Flags |= dcb::fOutxCtsFlow; },
     [](Seen& s) {
       s.crtscts = s.inputFlowControl = true;
       s.rts = TRtsMode::kHandshake;
     }},
    {"RTS handshake", [](TDCB& d) { d.Flags |= Rts(2); },
     [](Seen& s) {
       s.crtscts = s.inputFlowControl = true;
       s.rts = TRtsMode::kHandshake;
     }},
    {"RTS on", [](TDCB& d) { d.Flags |= Rts(1); }, [](Seen& s) { s.rts = TRtsMode::kOn; }},
    {"RTS toggle (RS-485)", [](TDCB& d) { d.Flags |= Rts(3); }, [](Seen& s) { s.rts = TRtsMode::kToggle; }},
    {"RTS toggle under CTS flow: the driver drives RTS",
     [](TDCB& d) { d.Flags |= Rts(3) | dcb::fOutxCtsFlow; },
     [](Seen& s) {
       s.crtscts = s.inputFlowControl = true;
       s.rts = TRtsMode::kHandshake;
     }},
    {"DTR on", [](TDCB& d) { d.Flags |= Dtr(1); }, [](Seen& s) { s.dtr = true; }},
    {"DTR handshake: left on", [](TDCB& d) { d.Flags |= Dtr(2); }, [](Seen& s) { s.dtr = true; }},
    {"DSR sensitivity", [](TDCB& d) { d.Flags |= dcb::fDsrSensitivity; }, [](Seen& s) { s.dsrSensitive = true; }},
    {"output waits for DSR", [](TDCB& d) { d.Flags |= dcb::fOutxDsrFlow; }, [](Seen& s) { s.dsrOutFlow = true; }},
    {"XON/XOFF out", [](TDCB& d) { d.Flags |= dcb::fOutX; }, [](Seen& s) { s.input = IXON; }},
    {"XON/XOFF in", [](TDCB& d) { d.Flags |= dcb::fInX; },
     [](Seen& s) {
       s.input = IXOFF;
       s.inputFlowControl = true;
     }},
    {"XON and XOFF characters",
     [](TDCB& d) {
       d.XonChar = 'Q';
       d.XoffChar = 'S';
     },
     [](Seen& s) {
       s.xon = 'Q';
       s.xoff = 'S';
     }},
    {"event character", [](TDCB& d) { d.EvtChar = '\n'; }, [](Seen& s) { s.eventChar = '\n'; }},
    {"NULs kept", [](TDCB& d) { d.Flags &= ~dcb::fNull; }, [](Seen& s) { s.discardNull = false; }},
    {"what Linux ignores",
     [](TDCB& d) {
       d.Flags |= dcb::fTXContinueOnXoff;
       d.XonLim = 7;
       d.XoffLim = 9;
       d.EofChar = 26;
     },
     [](Seen&) {}},
    {"115200 baud", [](TDCB& d) { d.BaudRate = 115200; }, [](Seen& s) { s.speed = B115200; }},
    {"110 baud", [](TDCB& d) { d.BaudRate = 110; }, [](Seen& s) { s.speed = B110; }},
    {"14400 baud has no B-constant", [](TDCB& d) { d.BaudRate = 14400; },
     [](Seen& s) {
       s.speed = B0;
       s.freeSpeed = 14400;
     }},
};

}  // namespace

TEST(TermiosLine, EveryFieldOfTheBlockBecomesItsPartOfTheLine) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TDCB d = ProgramDcb();
    c.change(d);
    Seen want;
    c.expect(want);
    EXPECT_EQ(Look(LineSetupForDcb(d, CookedTermios())), want);
  }
}

TEST(TermiosLine, TheLineIsRawWhateverItWasBefore) {
  termios before = CookedTermios();
  before.c_cflag |= CIBAUD;  // an input speed left by an earlier free speed
  const termios t = LineSetupForDcb(ProgramDcb(), before).tio;
  EXPECT_EQ(t.c_iflag & ~kInputBits, 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_cflag & HUPCL, 0u);  // closing does not drop DTR
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // The input runs at the output's speed, not at the one left behind.
  EXPECT_EQ(t.c_cflag & CIBAUD, 0u);
  EXPECT_EQ(::cfgetispeed(&t), B9600);
}

TEST(TermiosLine, BlocksNoLineCanTakeAreRefused) {
  const std::function<void(TDCB&)> bad[] = {
      [](TDCB& d) { d.BaudRate = 0; },    [](TDCB& d) { d.ByteSize = 4; },
      [](TDCB& d) { d.ByteSize = 9; },    [](TDCB& d) { d.Parity = 5; },
      [](TDCB& d) { d.StopBits = 3; },    [](TDCB& d) { d.Flags |= Dtr(3); },
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    TDCB d = ProgramDcb();
    bad[i](d);
    try {
      LineSetupForDcb(d, CookedTermios());
      ADD_FAILURE() << "case " << i << " accepted";
    } catch (const ComOsError& e) {
      EXPECT_EQ(e.WinCode(), winerr::kInvalidParameter) << i;
    }
  }
}

// A free speed goes to the device as one termios2 that carries the whole
// line, so a refused speed cannot leave half of the new settings behind.
TEST(TermiosLine, AFreeSpeedCarriesTheWholeLineInOneRecord) {
  TDCB d = ProgramDcb();
  d.BaudRate = 31250;
  d.Flags |= dcb::fParity | dcb::fErrorChar | dcb::fOutX;
  d.Parity = 3;
  d.XonChar = 'Q';
  const TLineSetup s = LineSetupForDcb(d, CookedTermios());
  const TTermios2 t2 = Termios2For(s);
  constexpr tcflag_t kBother = 0010000;
  EXPECT_EQ(t2.c_cflag & CBAUD, kBother);
  EXPECT_EQ((t2.c_cflag >> 16) & CBAUD, kBother);  // the input speed too
  EXPECT_EQ(t2.c_ispeed, 31250u);
  EXPECT_EQ(t2.c_ospeed, 31250u);
  EXPECT_EQ(t2.c_cflag & ~(CBAUD | CIBAUD), s.tio.c_cflag & ~(CBAUD | CIBAUD));
  EXPECT_EQ(t2.c_iflag, s.tio.c_iflag);
  EXPECT_TRUE(t2.c_iflag & PARMRK);
  EXPECT_EQ(t2.c_lflag, s.tio.c_lflag);
  EXPECT_EQ(t2.c_oflag, s.tio.c_oflag);
  EXPECT_EQ(t2.c_cc[VSTART], 'Q');
  EXPECT_EQ(t2.c_cc[VMIN], 0);
}
