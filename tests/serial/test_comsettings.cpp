// The settings model: text forms, port names, the flow-control shorthand,
// queue-size rounding, the error texts and the event mask tables. What the
// defaults and a whole object's assignment give the device is tested on the
// port (test_comport.cpp).
#include <gtest/gtest.h>

#include "serial/ComPort.h"

TEST(ComSettings, TextFormsConvertBothWaysWithTheirFallbacks) {
  EXPECT_EQ(TextToBaudRate("115200"), br115200);
  EXPECT_EQ(TextToBaudRate("custom"), brCustom);
  EXPECT_EQ(TextToBaudRate("9601"), br9600);
  EXPECT_EQ(TextToBaudRate(""), br9600);
  EXPECT_EQ(TextToBaudRate(" 300"), br9600);  // no trimming
  EXPECT_EQ(TextToStopBits("1.5"), sbOne5StopBits);
  EXPECT_EQ(TextToStopBits("3"), sbOneStopBit);
  EXPECT_EQ(TextToDataBits("9"), dbEight);
  EXPECT_EQ(TextToDataBits("5"), dbFive);
  EXPECT_EQ(TextToParity("even"), prEven);
  EXPECT_EQ(TextToParity("SPACE"), prSpace);
  EXPECT_EQ(TextToParity("x"), prNone);
  EXPECT_EQ(TextToFlowControl("none"), fcNone);
  EXPECT_EQ(TextToFlowControl("hardWARE"), fcHardware);
  EXPECT_EQ(TextToFlowControl("xon"), fcCustom);
  // Every value survives a round trip through its canonical text.
  for (int i = brCustom; i <= br256000; ++i)
    EXPECT_EQ(TextToBaudRate(BaudRateToText(TBaudRate(i))), TBaudRate(i));
  for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i)
    EXPECT_EQ(TextToStopBits(StopBitsToText(TStopBits(i))), TStopBits(i));
  for (int i = dbFive; i <= dbEight; ++i) EXPECT_EQ(TextToDataBits(DataBitsToText(TDataBits(i))), TDataBits(i));
  for (int i = prNone; i <= prSpace; ++i) EXPECT_EQ(TextToParity(ParityToText(TParityBits(i))), TParityBits(i));
  for (int i = fcHardware; i <= fcCustom; ++i)
    EXPECT_EQ(TextToFlowControl(FlowControlToText(TFlowControl(i))), TFlowControl(i));
  EXPECT_EQ(BaudRateToText(br56000), "56000");
  EXPECT_EQ(StopBitsToText(sbOne5StopBits), "1.5");
  EXPECT_EQ(ParityToText(prMark), "Mark");
}

TEST(ComSettings, PortNamesAreNormalisedToCom1To16) {
  EXPECT_EQ(NormalizePortName("com3"), "COM3");
  EXPECT_EQ(NormalizePortName("3"), "COM3");
  EXPECT_EQ(NormalizePortName("COM3"), "COM3");
  EXPECT_EQ(NormalizePortName("com16"), "COM16");
  EXPECT_EQ(NormalizePortName("COM17"), "COM1");
  EXPECT_EQ(NormalizePortName("COM0"), "COM1");
  EXPECT_EQ(NormalizePortName("COM-2"), "COM1");
  EXPECT_EQ(NormalizePortName("LPT1"), "COM1");
  EXPECT_EQ(NormalizePortName(""), "COM1");
  EXPECT_EQ(NormalizePortName("COM"), "COM1");
  EXPECT_EQ(NormalizePortName("COM3x"), "COM1");
  EXPECT_EQ(NormalizePortName("COM99999999999999999999"), "COM1");
}

TEST(ComSettings, FlowControlShorthandReadsAndWrites) {
  TComFlowControl f;
  EXPECT_EQ(f.FlowControl(), fcNone);
  f.SetFlowControl(fcHardware);
  EXPECT_EQ(f.FlowControl(), fcHardware);
  EXPECT_EQ(f.ControlRTS(), rtsHandshake);
  EXPECT_TRUE(f.OutCTSFlow());
  f.SetControlDTR(dtrHandshake);
  f.SetOutDSRFlow(true);
  f.SetDSRSensitivity(true);
  EXPECT_EQ(f.FlowControl(), fcHardware);  // those fields take no part
  f.SetXonXoffIn(true);
  EXPECT_EQ(f.FlowControl(), fcCustom);
  f.SetFlowControl(fcCustom);  // changes nothing
  EXPECT_TRUE(f.XonXoffIn());
  EXPECT_EQ(f.ControlRTS(), rtsHandshake);
  f.SetFlowControl(fcSoftware);
  EXPECT_EQ(f.FlowControl(), fcSoftware);
  EXPECT_EQ(f.ControlRTS(), rtsDisable);
  EXPECT_FALSE(f.OutCTSFlow());
  EXPECT_TRUE(f.XonXoffIn() && f.XonXoffOut());
  EXPECT_EQ(f.ControlDTR(), dtrHandshake);  // untouched by the shorthand
  f.SetFlowControl(fcNone);
  EXPECT_EQ(f.FlowControl(), fcNone);
  f.SetControlRTS(rtsEnable);
  EXPECT_EQ(f.FlowControl(), fcCustom);
}

TEST(ComSettings, QueueSizesDropOneFromPositiveOddNumbers) {
  TComBuffer b;
  b.SetInputSize(1025);
  EXPECT_EQ(b.InputSize(), 1024);
  b.SetInputSize(0);
  EXPECT_EQ(b.InputSize(), 0);
  b.SetInputSize(-3);
  EXPECT_EQ(b.InputSize(), -3);
  b.SetOutputSize(1);
  EXPECT_EQ(b.OutputSize(), 0);
  b.SetOutputSize(4097);
  EXPECT_EQ(b.OutputSize(), 4096);
}

TEST(ComSettings, ErrorsCarryTheirTableTextAndCodes) {
  EComPort open(1, 5, 13);
  EXPECT_STREQ(open.what(), "Unable to open com port (win error code: 5)");
  EXPECT_EQ(open.PortErrorCode(), 1);
  EXPECT_EQ(open.OsErrorCode(), 5);
  EXPECT_EQ(open.Errno(), 13);
  EComPort sync(14);
  EXPECT_STREQ(sync.what(), "Cannot set SyncMethod while connected");
  EXPECT_EQ(sync.OsErrorCode(), -1);
  EXPECT_EQ(sync.Errno(), 0);
  EXPECT_EQ(EComPort::MessageText(4), "Invalid Async parameter");
  EXPECT_EQ(EComPort::MessageText(10), "ClearCommError function failed");
  EXPECT_EQ(EComPort::MessageText(21), "WaitForEvent method failed");
  EXPECT_EQ(EComPort::MessageText(22), "");
  for (int i = 1; i <= 21; ++i) EXPECT_FALSE(EComPort::MessageText(i).empty()) << i;
}

TEST(ComSettings, EventMasksMapEachMemberToItsFlagAndIgnoreOthers) {
  EXPECT_EQ(EventsToMask(TComEvents{evRxChar, evRing}), 0x0101u);
  EXPECT_EQ(EventsToMask(TComEvents{evTxEmpty}), ev::TXEMPTY);
  EXPECT_EQ(EventsToMask(TComEvents{evRxFlag}), ev::RXFLAG);
  EXPECT_EQ(EventsToMask(TComEvents{evError, evRLSD}), ev::ERR | ev::RLSD);
  EXPECT_EQ(EventsToMask(TComEvents{}), 0u);
  EXPECT_TRUE(MaskToEvents(ev::PERR).Empty());
  EXPECT_EQ(MaskToEvents(ev::PERR | ev::RING | 0x8000), TComEvents{evRing});
  for (int i = 0; i < 10; ++i) {
    const TComEvents one{TComEvent(i)};
    EXPECT_EQ(MaskToEvents(EventsToMask(one)), one) << i;
  }
}
