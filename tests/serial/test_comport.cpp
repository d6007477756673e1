// The port against the recording fake: open and close sequences, the
// configuration built from the settings, the apply-on-change rules, I/O and
// queries, and every failure path.
#include <gtest/gtest.h>

#include <QThread>

#include "ErrorSink.h"
#include "FakeComDevice.h"
#include "QtPump.h"
#include "serial/ComPort.h"

using Strings = std::vector<std::string>;

namespace {

// The program's port: ComPort1's configuration, on a fake line, recording
// every notification.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceOpener(line->Opener());
    port.SetDiscardNull(true);
    port.SetEvents({evRxChar, evRing});
    port.OnBeforeOpen = [this](QObject* s) { Note(s, "BeforeOpen"); };
    port.OnAfterOpen = [this](QObject* s) { Note(s, "AfterOpen"); };
    port.OnBeforeClose = [this](QObject* s) { Note(s, "BeforeClose"); };
    port.OnAfterClose = [this](QObject* s) { Note(s, "AfterClose"); };
    port.OnCTSChange = [this](QObject* s, bool on) { Note(s, std::string("CTS") + (on ? "1" : "0")); };
    port.OnDSRChange = [this](QObject* s, bool on) { Note(s, std::string("DSR") + (on ? "1" : "0")); };
    port.OnRLSDChange = [this](QObject* s, bool on) { Note(s, std::string("RLSD") + (on ? "1" : "0")); };
    port.OnRxChar = [this](QObject* s, int n) { Note(s, "RxChar" + std::to_string(n)); };
  }
  void Note(QObject* sender, const std::string& what) {
    EXPECT_EQ(sender, &port);
    notes.push_back(what);
  }
  Strings TakeNotes() { return std::exchange(notes, {}); }

  std::shared_ptr<FakeLine> line = FakeLine::Create();
  Strings notes;
  TComPort port;  // last: its destruction closes it and may still notify
};

template <typename F>
EComPort Raised(F&& f) {
  try {
    f();
  } catch (const EComPort& e) {
    return e;
  }
  ADD_FAILURE() << "no EComPort raised";
  return EComPort(0);
}

const char* const kComPort1State = "SetCommState(9600 0x801 256/256 8 0 0 17 19 0 0)";

}  // namespace

TEST_F(PortTest, OpenConfiguresBufferLineTimeoutsThenStartsTheThreadAndReportsTheLines) {
  line->SetModemStatus(ms::CTS_ON | ms::RLSD_ON | ms::RING_ON);
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.HasEventThread());
  EXPECT_EQ(line->Commands(), (Strings{"Open(COM1)", "SetupComm(1024,1024)", kComPort1State,
                                       "SetCommTimeouts(-1 0 0 100 1000)", "SetCommMask(0x101)"}));
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeOpen", "AfterOpen", "CTS1", "DSR0", "RLSD1"}));
  EXPECT_TRUE(line->WaitUntilWaiting());

  const TDCB d = line->LastDCB();
  EXPECT_EQ(d.DCBlength, 28u);
  EXPECT_EQ(d.BaudRate, 9600u);
  EXPECT_EQ(d.Flags, 0x801u);
  EXPECT_EQ(d.XonLim, 256);
  EXPECT_EQ(d.XoffLim, 256);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.Parity, 0);
  EXPECT_EQ(d.StopBits, 0);
  EXPECT_EQ(d.XonChar, 17);
  EXPECT_EQ(d.XoffChar, 19);

  port.OpenPort();  // already open: nothing
  EXPECT_TRUE(TakeNotes().empty());

  line->ClearCalls();
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.HasEventThread());
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeClose", "CTS0", "DSR0", "RLSD0", "AfterClose"}));
  EXPECT_EQ(line->Commands(), (Strings{"PurgeComm(0x3)", "SetCommMask(0x0)", "PurgeComm(0xc)", "Close"}));
  // The stop request (the wait's cancel) comes between the abort and the thread's exit.
  Strings calls = line->Calls();
  auto abort = std::find(calls.begin(), calls.end(), "PurgeComm(0x3)");
  auto cancel = std::find(calls.begin(), calls.end(), "CancelWait");
  auto mask0 = std::find(calls.begin(), calls.end(), "SetCommMask(0x0)");
  EXPECT_TRUE(abort < cancel && cancel < mask0);

  port.ClosePort();  // already closed: nothing
  EXPECT_TRUE(TakeNotes().empty());
}

// A port left at its defaults: what its device is given, and where its
// notifications run.
TEST(ComPortDefaults, GiveTheDeviceTheDocumentedConfigurationAndNotifyOnTheGuiThread) {
  auto line = FakeLine::Create();
  TComPort port;
  port.SetDeviceOpener(line->Opener());
  bool onGuiThread = false;
  port.OnRxChar = [&](QObject*, int) { onGuiThread = QThread::currentThread() == qApp->thread(); };
  EXPECT_FALSE(port.Connected());
  port.OpenPort();
  // COM1; 1024-byte queues; 9600 baud, binary, no parity check, no flow
  // control, DTR and RTS off, NULs kept, 8N1, XON 17 and XOFF 19; reads that
  // never wait, writes of 100 ms a byte plus a second; all ten events.
  EXPECT_EQ(line->Commands(), (Strings{"Open(COM1)", "SetupComm(1024,1024)",
                                       "SetCommState(9600 0x1 256/256 8 0 0 17 19 0 0)",
                                       "SetCommTimeouts(-1 0 0 100 1000)", "SetCommMask(0x5ff)"}));
  line->Receive("x");
  EXPECT_TRUE(PumpUntil([&] { return onGuiThread; }));
}

// A whole settings object assigned to an open port reaches the device with
// every field; a copy of the port's object is the caller's own.
TEST_F(PortTest, AWholeSettingsObjectReachesTheDeviceWithEveryFieldAndACopyStandsApart) {
  port.OpenPort();
  line->ClearCalls();
  TComParity parity;
  parity.SetBits(prMark);
  parity.SetCheck(true);
  parity.SetReplace(true);
  parity.SetReplaceChar('?');
  port.SetParity(parity);
  TComFlowControl flow;
  flow.SetFlowControl(fcSoftware);
  flow.SetXonChar('A');
  flow.SetXoffChar('B');
  flow.SetTxContinueOnXoff(true);
  flow.SetControlDTR(dtrEnable);
  flow.SetOutDSRFlow(true);
  flow.SetDSRSensitivity(true);
  port.SetFlowControl(flow);
  TComTimeouts timeouts;
  timeouts.SetReadInterval(5);
  timeouts.SetReadTotalMultiplier(6);
  timeouts.SetReadTotalConstant(7);
  timeouts.SetWriteTotalMultiplier(8);
  timeouts.SetWriteTotalConstant(9);
  port.SetTimeouts(timeouts);
  TComBuffer buffer;
  buffer.SetInputSize(256);
  buffer.SetOutputSize(512);
  port.SetBuffer(buffer);
  EXPECT_EQ(line->Commands(), (Strings{"SetCommState(9600 0xc03 256/256 8 3 0 17 19 63 0)",
                                       "SetCommState(9600 0xfdb 256/256 8 3 0 65 66 63 0)",
                                       "SetCommTimeouts(5 6 7 8 9)", "SetupComm(256,512)"}));

  line->ClearCalls();
  TComParity parityCopy = port.Parity();
  parityCopy.SetBits(prOdd);
  TComFlowControl flowCopy(port.FlowControl());
  flowCopy.SetXonChar('Z');
  TComTimeouts timeoutsCopy = port.Timeouts();
  timeoutsCopy.SetReadInterval(1);
  EXPECT_EQ(line->Commands(), Strings{});
  EXPECT_EQ(port.Parity().Bits(), prMark);
  EXPECT_EQ(port.FlowControl().XonChar(), 'A');
  EXPECT_EQ(port.Timeouts().ReadInterval(), 5);
}

TEST_F(PortTest, DeviceControlBlockFollowsEverySetting) {
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(31250);
  port.SetDataBits(dbSeven);
  port.SetStopBits(sbTwoStopBits);
  port.SetEventChar('\n');
  port.Parity().SetBits(prSpace);
  port.Parity().SetCheck(true);
  port.Parity().SetReplace(true);
  port.Parity().SetReplaceChar('?');
  port.FlowControl().SetOutDSRFlow(true);
  port.FlowControl().SetControlDTR(dtrHandshake);
  port.FlowControl().SetDSRSensitivity(true);
  port.FlowControl().SetTxContinueOnXoff(true);
  port.FlowControl().SetFlowControl(fcHardware);
  port.FlowControl().SetXonXoffOut(true);
  port.FlowControl().SetControlRTS(rtsToggle);
  port.Buffer().SetInputSize(4000);
  TDCB d = port.DeviceControlBlock();
  EXPECT_EQ(d.BaudRate, 31250u);
  EXPECT_EQ(d.Flags, dcb::fBinary | dcb::fParity | dcb::fOutxCtsFlow | dcb::fOutxDsrFlow | (2u << 4) |
                         dcb::fDsrSensitivity | dcb::fTXContinueOnXoff | dcb::fOutX | dcb::fErrorChar | dcb::fNull |
                         (3u << 12));
  EXPECT_EQ(d.XonLim, 1000);
  EXPECT_EQ(d.ByteSize, 7);
  EXPECT_EQ(d.Parity, 4);
  EXPECT_EQ(d.StopBits, 2);
  EXPECT_EQ(d.ErrorChar, '?');
  EXPECT_EQ(d.EvtChar, '\n');
  // The replacement character only counts while parity is checked.
  port.Parity().SetCheck(false);
  d = port.DeviceControlBlock();
  EXPECT_EQ(d.Flags & (dcb::fParity | dcb::fErrorChar), 0u);
  EXPECT_EQ(d.ErrorChar, 0);
  port.SetBaudRate(br256000);
  EXPECT_EQ(port.DeviceControlBlock().BaudRate, 256000u);
  port.SetBaudRate(br110);
  EXPECT_EQ(port.DeviceControlBlock().BaudRate, 110u);
  // Values outside their enumerations (casts) neither read past the rate
  // table nor spill into neighbouring flags: the rate becomes 0, which the
  // device refuses.
  port.SetBaudRate(static_cast<TBaudRate>(200));
  port.FlowControl().SetDSRSensitivity(false);
  port.FlowControl().SetControlDTR(static_cast<TDTRFlowControl>(6));
  d = port.DeviceControlBlock();
  EXPECT_EQ(d.BaudRate, 0u);
  EXPECT_EQ(d.Flags & dcb::fDsrSensitivity, 0u);

  port.Timeouts().SetReadTotalConstant(-1);
  port.Timeouts().SetWriteTotalMultiplier(7);
  const TCommTimeouts t = port.CommTimeouts();
  EXPECT_EQ(t.ReadIntervalTimeout, kMaxDword);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, kMaxDword);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 7u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  EXPECT_EQ(line->Calls(), Strings{});  // a closed port only stores
}

TEST_F(PortTest, AFailedOpenLeavesThePortClosedWithOnlyBeforeOpenFired) {
  line->Fail("Open", winerr::kAccessDenied, 1, 13);
  EComPort e = Raised([&] { port.OpenPort(); });
  EXPECT_EQ(e.PortErrorCode(), 1);
  EXPECT_EQ(e.OsErrorCode(), 5);
  EXPECT_EQ(e.Errno(), 13);
  EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 5)");
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.HasEventThread());
  EXPECT_EQ(TakeNotes(), Strings{"BeforeOpen"});
  port.ClosePort();  // nothing to close
  EXPECT_TRUE(TakeNotes().empty());

  // The default opener resolves the COM name; one that stands for nothing
  // cannot be opened either.
  TComPort plain;
  plain.SetPort("COM16");
  EXPECT_EQ(Raised([&] { plain.OpenPort(); }).PortErrorCode(), 1);
  EXPECT_FALSE(plain.Connected());
}

TEST_F(PortTest, AFailedConfigurationStepClosesTheDeviceAgain) {
  struct Case {
    const char* op;
    int code;
  };
  for (Case c : {Case{"SetupComm", 9}, Case{"SetCommState", 7}, Case{"SetCommTimeouts", 8}}) {
    SCOPED_TRACE(c.op);
    line->ClearCalls();
    line->Fail(c.op, winerr::kInvalidParameter);
    EComPort e = Raised([&] { port.OpenPort(); });
    EXPECT_EQ(e.PortErrorCode(), c.code);
    EXPECT_EQ(e.OsErrorCode(), 87);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.HasEventThread());
    EXPECT_FALSE(line->IsOpen());
    EXPECT_EQ(TakeNotes(), Strings{"BeforeOpen"});
    Strings cmds = line->Commands();
    EXPECT_EQ(cmds.back(), "Close");
    EXPECT_EQ(line->Count("SetCommMask"), 0);
  }
  port.OpenPort();  // and the next open works
  EXPECT_TRUE(port.Connected());
}

TEST_F(PortTest, AFailingLineReportAfterOpenPropagatesWithThePortOpenAndRunning) {
  line->Fail("GetCommModemStatus", winerr::kGenFailure);
  EComPort e = Raised([&] { port.OpenPort(); });
  EXPECT_EQ(e.PortErrorCode(), 11);
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.HasEventThread());
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeOpen", "AfterOpen"}));
}

TEST_F(PortTest, AFailedAbortAtCloseLeavesThePortOpenWithItsThreadRunning) {
  port.OpenPort();
  TakeNotes();
  line->Fail("PurgeComm", winerr::kGenFailure);
  EComPort e = Raised([&] { port.ClosePort(); });
  EXPECT_EQ(e.PortErrorCode(), 5);
  EXPECT_STREQ(e.what(), "PurgeComm function failed (win error code: 31)");
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.HasEventThread());
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeClose", "CTS0", "DSR0", "RLSD0"}));
  // Still delivering.
  line->Receive("ok");
  EXPECT_TRUE(PumpUntil([&] { return !notes.empty(); }));
  EXPECT_EQ(TakeNotes(), Strings{"RxChar2"});
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

TEST_F(PortTest, ChangedSettingsReachAnOpenDeviceOnceAndOnlyWhenTheyChange) {
  port.SetBaudRate(br19200);  // closed: stored only
  port.Timeouts().SetReadInterval(5);
  port.Buffer().SetInputSize(2048);
  EXPECT_TRUE(line->Calls().empty());
  port.SetBaudRate(br9600);
  port.Timeouts().SetReadInterval(-1);
  port.Buffer().SetInputSize(1024);
  port.OpenPort();
  line->ClearCalls();

  port.SetBaudRate(br9600);
  port.SetDataBits(dbEight);
  port.SetDiscardNull(true);
  port.Parity().SetBits(prNone);
  port.FlowControl().SetXonChar(17);
  port.Timeouts().SetWriteTotalConstant(1000);
  port.Buffer().SetInputSize(1025);  // rounds to the current 1024
  port.SetEvents({evRxChar});        // stored for the next open
  EXPECT_EQ(line->Commands(), Strings{});

  port.SetBaudRate(br19200);
  EXPECT_EQ(line->Commands(), Strings{"SetCommState(19200 0x801 256/256 8 0 0 17 19 0 0)"});
  line->ClearCalls();
  port.FlowControl().SetFlowControl(fcNone);  // the shorthand always applies
  port.SetParity(port.Parity());              // so does a whole object
  port.SetFlowControl(TComFlowControl());
  EXPECT_EQ(line->Count("SetCommState"), 3);
  line->ClearCalls();
  port.SetTimeouts(port.Timeouts());
  port.Timeouts().SetReadTotalConstant(50);
  EXPECT_EQ(line->Commands(),
            (Strings{"SetCommTimeouts(-1 0 0 100 1000)", "SetCommTimeouts(-1 0 50 100 1000)"}));
  line->ClearCalls();
  // A new input queue size goes to SetupComm; the XON/XOFF limits follow at
  // the next line apply.
  port.Buffer().SetInputSize(2048);
  EXPECT_EQ(line->Commands(), Strings{"SetupComm(2048,1024)"});
  EXPECT_EQ(line->LastDCB().XonLim, 256);
  port.SetStopBits(sbTwoStopBits);
  EXPECT_EQ(line->LastDCB().XonLim, 512);
  EXPECT_EQ(line->LastDCB().StopBits, 2);

  // A failing apply propagates; the value stays stored.
  line->Fail("SetCommState", winerr::kInvalidParameter);
  EComPort e = Raised([&] { port.SetDataBits(dbSeven); });
  EXPECT_EQ(e.PortErrorCode(), 7);
  EXPECT_EQ(port.DataBits(), dbSeven);
  line->Fail("SetCommTimeouts", winerr::kInvalidParameter);
  EXPECT_EQ(Raised([&] { port.Timeouts().SetReadInterval(3); }).PortErrorCode(), 8);
  EXPECT_EQ(port.Timeouts().ReadInterval(), 3);
  line->Fail("SetupComm", winerr::kInvalidParameter);
  EXPECT_EQ(Raised([&] { port.Buffer().SetOutputSize(64); }).PortErrorCode(), 9);
  EXPECT_EQ(port.Buffer().OutputSize(), 64);
}

TEST_F(PortTest, SyncMethodIsRefusedWhileOpen) {
  port.SetSyncMethod(smNone);  // closed: stored
  EXPECT_EQ(port.SyncMethod(), smNone);
  port.SetSyncMethod(smThreadSync);
  port.OpenPort();
  EComPort e = Raised([&] { port.SetSyncMethod(smWindowSync); });
  EXPECT_EQ(e.PortErrorCode(), 14);
  EXPECT_EQ(e.OsErrorCode(), -1);
  EXPECT_STREQ(e.what(), "Cannot set SyncMethod while connected");
  EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(PortTest, ChangingThePortReopensAnOpenPortUnderTheNewName) {
  port.SetPort("com1");
  EXPECT_EQ(port.Port(), "COM1");
  port.SetPort("4");  // closed: stored only
  EXPECT_EQ(port.Port(), "COM4");
  EXPECT_TRUE(line->Calls().empty());
  port.SetPort("COM1");
  port.OpenPort();
  TakeNotes();
  line->ClearCalls();
  port.SetPort("com1");  // same name: nothing
  EXPECT_TRUE(line->Calls().empty());
  port.SetPort("COM2");
  EXPECT_EQ(port.Port(), "COM2");
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(line->Commands(),
            (Strings{"PurgeComm(0x3)", "SetCommMask(0x0)", "PurgeComm(0xc)", "Close", "Open(COM2)",
                     "SetupComm(1024,1024)", kComPort1State, "SetCommTimeouts(-1 0 0 100 1000)", "SetCommMask(0x101)"}));
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeClose", "CTS0", "DSR0", "RLSD0", "AfterClose", "BeforeOpen", "AfterOpen",
                                  "CTS0", "DSR0", "RLSD0"}));
}

TEST_F(PortTest, WithNoEventsThePortRunsNoThreadButStillReportsTheLines) {
  port.SetEvents({});
  line->SetModemStatus(ms::DSR_ON);
  port.OpenPort();
  EXPECT_FALSE(port.HasEventThread());
  EXPECT_EQ(line->Count("SetCommMask"), 0);
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeOpen", "AfterOpen", "CTS0", "DSR1", "RLSD0"}));
  line->Receive("abc");
  PumpFor(30);
  EXPECT_TRUE(notes.empty());
  port.ClosePort();
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeClose", "CTS0", "DSR0", "RLSD0", "AfterClose"}));
  EXPECT_EQ(line->Commands().back(), "Close");
}

TEST_F(PortTest, SendAndReceiveReturnWhatTheDeviceDid) {
  port.SetEvents({});
  port.OpenPort();
  std::string text = "previous";
  line->Receive("abc");
  EXPECT_EQ(port.InputQueueCount(), 3);
  EXPECT_EQ(port.ReceiveText(text, 10), 3);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(port.ReceiveText(text, 10), 0);
  EXPECT_EQ(text, "");
  line->Receive("0123456789");
  EXPECT_EQ(port.ReceiveText(text, 4), 4);
  EXPECT_EQ(text, "0123");
  EXPECT_EQ(port.ReceiveText(text, -5), 0);  // a negative count reads nothing
  EXPECT_EQ(text, "");
  EXPECT_EQ(port.InputQueueCount(), 6);

  EXPECT_EQ(port.SendText(std::string("e\r\0x", 4)), 4);
  EXPECT_EQ(port.SendText(""), 0);
  EXPECT_EQ(line->Written(), std::string("e\r\0x", 4));

  line->Fail("Write", winerr::kSemTimeout);
  EComPort w = Raised([&] { port.SendText("x"); });
  EXPECT_EQ(w.PortErrorCode(), 2);
  EXPECT_STREQ(w.what(), "WriteFile function failed (win error code: 121)");
  line->Fail("Read", winerr::kIoDevice, 1, 5);
  EComPort r = Raised([&] { port.ReceiveText(text, 3); });
  EXPECT_EQ(r.PortErrorCode(), 3);
  EXPECT_EQ(r.OsErrorCode(), 1117);
  EXPECT_EQ(r.Errno(), 5);

  port.ClosePort();
  // A closed port has no device: every operation fails with an invalid handle.
  EXPECT_EQ(Raised([&] { port.SendText("x"); }).OsErrorCode(), winerr::kInvalidHandle);
  EXPECT_EQ(Raised([&] { port.ReceiveText(text, 1); }).PortErrorCode(), 3);
  EXPECT_EQ(Raised([&] { port.InputQueueCount(); }).PortErrorCode(), 10);
  EXPECT_EQ(Raised([&] { port.LineSignals(); }).PortErrorCode(), 11);
  EXPECT_EQ(Raised([&] { port.AbortPendingIo(); }).PortErrorCode(), 5);
}

TEST_F(PortTest, QueriesMapTheDriversFlags) {
  port.SetEvents({});
  port.OpenPort();
  line->SetModemStatus(ms::CTS_ON | ms::DSR_ON | ms::RING_ON | ms::RLSD_ON);
  EXPECT_EQ(port.LineSignals(), (TLineSignals{sigCTS, sigDSR, sigRing, sigRLSD}));
  line->SetModemStatus(ms::RING_ON);
  EXPECT_EQ(port.LineSignals(), TLineSignals{sigRing});

  line->SetLineErrors(ce::FRAME | ce::RXPARITY | ce::OVERRUN | ce::BREAK | ce::IOE | ce::MODE | ce::RXOVER |
                      ce::TXFULL);
  // Parity errors count only while parity is checked.
  EXPECT_EQ(port.LineErrors(),
            (TComErrors{errFrame, errOverrun, errBreak, errIO, errMode, errRxOverflow, errTxFull}));
  EXPECT_TRUE(port.LineErrors().Empty());  // reading cleared them
  port.Parity().SetCheck(true);
  line->SetLineErrors(ce::RXPARITY);
  EXPECT_EQ(port.LineErrors(), TComErrors{errRxParity});
  line->SetLineErrors(ce::FRAME);
  EXPECT_EQ(port.InputQueueCount(), 0);  // also clears pending errors
  EXPECT_TRUE(port.LineErrors().Empty());

  line->Fail("ClearCommError", winerr::kGenFailure);
  EXPECT_EQ(Raised([&] { port.InputQueueCount(); }).PortErrorCode(), 10);
  line->Fail("ClearCommError", winerr::kGenFailure);
  EXPECT_EQ(Raised([&] { port.LineErrors(); }).PortErrorCode(), 10);
  line->Fail("GetCommModemStatus", winerr::kGenFailure);
  EXPECT_EQ(Raised([&] { port.LineSignals(); }).PortErrorCode(), 11);

  line->ClearCalls();
  port.AbortPendingIo();
  EXPECT_EQ(line->Commands(), Strings{"PurgeComm(0x3)"});
}

TEST_F(PortTest, PendingIoRecordsReportTheirOutcome) {
  EComPort none = Raised([&] { port.WaitForOperation(nullptr); });
  EXPECT_EQ(none.PortErrorCode(), 4);
  EXPECT_EQ(none.OsErrorCode(), -1);
  EXPECT_STREQ(none.what(), "Invalid Async parameter");

  TPendingIo* io = port.NewPendingIo();
  EXPECT_EQ(io->Kind, ioWrite);
  EXPECT_EQ(io->Transferred, 0u);
  io->Kind = ioRead;
  io->Finished = true;
  io->Transferred = 7;
  EXPECT_EQ(port.WaitForOperation(io), 7);
  io->OsErrorCode = 995;
  EComPort failed = Raised([&] { port.WaitForOperation(io); });
  EXPECT_EQ(failed.PortErrorCode(), 3);
  EXPECT_EQ(failed.OsErrorCode(), 995);
  io->Kind = ioWrite;
  EXPECT_EQ(Raised([&] { port.WaitForOperation(io); }).PortErrorCode(), 2);
  port.FreePendingIo(io);
  port.FreePendingIo(nullptr);
}

TEST_F(PortTest, ConnectedRunsTheSequencesAndDestructionClosesAnOpenPort) {
  port.SetConnected(true);
  EXPECT_TRUE(port.Connected());
  port.SetConnected(true);
  port.SetConnected(false);
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(TakeNotes(), (Strings{"BeforeOpen", "AfterOpen", "CTS0", "DSR0", "RLSD0", "BeforeClose", "CTS0", "DSR0",
                                  "RLSD0", "AfterClose"}));

  Strings closing;
  {
    TComPort other;
    other.SetDeviceOpener(line->Opener());
    other.OpenPort();
    other.OnAfterClose = [&](QObject*) { closing.push_back("AfterClose"); };
  }
  EXPECT_EQ(closing, Strings{"AfterClose"});
  EXPECT_FALSE(line->IsOpen());
}

TEST_F(PortTest, DestroyingAPortWhoseAbortFailsStillStopsAndClosesEverything) {
  ErrorSink shown;
  {
    TComPort other;
    other.SetDeviceOpener(line->Opener());
    other.OpenPort();
    line->Fail("PurgeComm", winerr::kGenFailure);
  }
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(shown.Texts(), Strings{"PurgeComm function failed (win error code: 31)"});
}

TEST_F(PortTest, TheDefaultOpenerCanBeReplacedForEveryPort) {
  TComPort::SetDefaultDeviceOpener(line->Opener());
  TComPort other;
  other.SetPort("COM7");
  other.SetEvents({});
  other.OpenPort();
  EXPECT_EQ(line->Commands().front(), "Open(COM7)");
  other.ClosePort();
  TComPort::SetDefaultDeviceOpener(nullptr);
}
