#include "portselect/ComComboBox.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "PortFixture.h"
#include "PtyHelper.h"

namespace {

class ComComboBoxTest : public PortFixture {
 protected:
  static QStringList Entries(const QComboBox& c) {
    QStringList out;
    for (int i = 0; i < c.count(); ++i) out << c.itemText(i);
    return out;
  }
  // The ports COM2, COM3 and COM12, pinned, as the program's selector sees them.
  void ThreePorts() {
    Pin(2, "dev-b");
    Pin(3, "dev-c");
    Pin(12, "dev-l");
  }
};

TEST_F(ComComboBoxTest, EachKindListsItsValuesInOrderAndSelectsTheFirstWhenUnbound) {
  TComComboBox combo;
  combo.SetComProperty(cpBaudRate);
  EXPECT_EQ(Entries(combo), (QStringList{"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                                         "19200", "38400", "56000", "57600", "115200", "128000", "256000"}));
  EXPECT_EQ(combo.Text(), "Custom");
  combo.SetComProperty(cpDataBits);
  EXPECT_EQ(Entries(combo), (QStringList{"5", "6", "7", "8"}));
  combo.SetComProperty(cpStopBits);
  EXPECT_EQ(Entries(combo), (QStringList{"1", "1.5", "2"}));
  combo.SetComProperty(cpParity);
  EXPECT_EQ(Entries(combo), (QStringList{"None", "Odd", "Even", "Mark", "Space"}));
  combo.SetComProperty(cpFlowControl);
  EXPECT_EQ(Entries(combo), (QStringList{"Hardware", "Software", "None", "Custom"}));
  EXPECT_EQ(combo.Text(), "Hardware");
  EXPECT_FALSE(combo.isEditable());
  combo.SetComProperty(cpNone);
  EXPECT_EQ(combo.count(), 0);
  EXPECT_EQ(combo.Text(), QString());
}

TEST_F(ComComboBoxTest, RefusedEnumerationComesOutOfSettingTheKind) {
  RefuseEnumeration();
  TComComboBox combo;
  try {
    combo.SetComProperty(cpPort);
    FAIL() << "no error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode(), 15);
  }
  EXPECT_EQ(combo.count(), 0);
}

TEST_F(ComComboBoxTest, BindingSelectsThePortsValueOrNothingAndWritesNothing) {
  ThreePorts();
  TComPort port;  // Port COM1, not listed
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);  // the order the connection dialog binds in
  EXPECT_EQ(combo.ComPort(), &port);
  EXPECT_EQ(combo.currentIndex(), -1);
  EXPECT_EQ(combo.Text(), QString());
  EXPECT_EQ(combo.Select().PendingPort, "COM1");
  EXPECT_EQ(port.Port(), "COM1");

  port.SetPort("COM12");
  TComComboBox other;
  other.SetComPort(&port);  // bound first, kind set afterwards
  other.SetComProperty(cpPort);
  EXPECT_EQ(other.Text(), "COM12");
  EXPECT_EQ(other.Select().PendingPort, "COM12");

  port.SetBaudRate(br115200);
  port.Parity().SetBits(prEven);
  port.SetStopBits(sbOne5StopBits);
  other.SetComProperty(cpBaudRate);
  EXPECT_EQ(other.Text(), "115200");
  EXPECT_EQ(other.Select().PendingBaudRate, br115200);
  other.SetComProperty(cpParity);
  EXPECT_EQ(other.Text(), "Even");
  other.SetComProperty(cpStopBits);
  EXPECT_EQ(other.Text(), "1.5");
  other.SetComProperty(cpFlowControl);
  EXPECT_EQ(other.Text(), "None");
  EXPECT_EQ(other.Select().PendingFlowControl, fcNone);
  // Pending values of kinds no longer current are kept.
  EXPECT_EQ(other.Select().PendingPort, "COM12");
  EXPECT_EQ(other.Select().PendingParity, prEven);
  other.SetComProperty(cpNone);
  EXPECT_EQ(other.Select().SyncWithPort(), -1);
}

TEST_F(ComComboBoxTest, BindingTheSameObjectAgainIsIgnoredAndNullOnlyDropsIt) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  EXPECT_EQ(combo.Text(), "COM2");
  port.SetPort("COM3");
  combo.SetComPort(&port);
  EXPECT_EQ(combo.Text(), "COM2");
  combo.SetComPort(nullptr);
  EXPECT_EQ(combo.ComPort(), nullptr);
  EXPECT_EQ(combo.Text(), "COM2");
}

TEST_F(ComComboBoxTest, WritingTextSelectsIgnoringCaseAndNeverApplies) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  combo.SetAutoApply(true);
  QSignalSpy activated(&combo, &QComboBox::activated);
  combo.SetText("com3");
  EXPECT_EQ(combo.Text(), "COM3");
  combo.SetText("COM9");
  EXPECT_EQ(combo.Text(), "COM3");
  combo.SetText("");
  EXPECT_EQ(combo.Text(), "COM3");
  EXPECT_EQ(port.Port(), "COM2");
  EXPECT_EQ(combo.Select().PendingPort, "COM2");
  EXPECT_EQ(activated.count(), 0);

  combo.SetComProperty(cpParity);
  combo.SetText("mark");
  EXPECT_EQ(combo.Text(), "Mark");
  EXPECT_EQ(port.Parity().Bits(), prNone);
}

TEST_F(ComComboBoxTest, OperatorsChoiceWithoutAutoApplyOnlyChangesThePendingValue) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  QTest::keyClick(&combo, Qt::Key_Down);
  EXPECT_EQ(combo.Text(), "COM3");
  EXPECT_EQ(combo.Select().PendingPort, "COM3");
  EXPECT_EQ(port.Port(), "COM2");
  combo.Select().ApplyToPort();
  EXPECT_EQ(port.Port(), "COM3");

  combo.SetComProperty(cpDataBits);  // port's eight bits selected
  QTest::keyClick(&combo, Qt::Key_Up);
  EXPECT_EQ(combo.Select().PendingDataBits, dbSeven);
  EXPECT_EQ(port.DataBits(), dbEight);
}

TEST_F(ComComboBoxTest, ArrowKeysWithAutoApplyWriteEveryEntryPassedBeforeOtherListenersHear) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  combo.SetAutoApply(true);
  QStringList heard;  // what an ordinary listener finds in the port object
  QObject::connect(&combo, &QComboBox::activated, [&] { heard << QString::fromStdString(port.Port()); });
  QTest::keyClick(&combo, Qt::Key_Down);
  EXPECT_EQ(port.Port(), "COM3");
  QTest::keyClick(&combo, Qt::Key_Down);
  EXPECT_EQ(port.Port(), "COM12");
  QTest::keyClick(&combo, Qt::Key_Down);  // already the last entry: no change
  QTest::keyClick(&combo, Qt::Key_Home);
  EXPECT_EQ(port.Port(), "COM2");
  EXPECT_EQ(heard, (QStringList{"COM3", "COM12", "COM2"}));

  combo.SetComProperty(cpBaudRate);
  EXPECT_EQ(combo.Text(), "9600");
  QTest::keyClick(&combo, Qt::Key_Down);
  EXPECT_EQ(port.BaudRate(), br14400);
  combo.SetComProperty(cpFlowControl);  // None
  QTest::keyClick(&combo, Qt::Key_Up);
  EXPECT_EQ(port.FlowControl().FlowControl(), fcSoftware);
  EXPECT_TRUE(port.FlowControl().XonXoffIn());
  combo.SetComProperty(cpParity);
  QTest::keyClick(&combo, Qt::Key_End);
  EXPECT_EQ(port.Parity().Bits(), prSpace);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(ComComboBoxTest, PickingFromTheOpenListApplies) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  combo.SetAutoApply(true);
  combo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
  combo.showPopup();
  QWidget* list = combo.view();
  ASSERT_TRUE(list->isVisible());
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(port.Port(), "COM2");  // moving in the open list is not a choice yet
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(combo.Text(), "COM3");
  EXPECT_EQ(port.Port(), "COM3");
}

TEST_F(ComComboBoxTest, DestroyedPortIsForgottenAndTheFirstEntrySelected) {
  ThreePorts();
  auto port = std::make_unique<TComPort>();
  port->SetPort("COM12");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(port.get());
  combo.SetAutoApply(true);
  EXPECT_EQ(combo.Text(), "COM12");
  port.reset();
  EXPECT_EQ(combo.ComPort(), nullptr);
  EXPECT_EQ(combo.Text(), "COM2");
  QTest::keyClick(&combo, Qt::Key_Down);  // nothing to write into
  EXPECT_EQ(combo.Select().PendingPort, "COM3");

  // A port no longer bound is not watched.
  auto gone = std::make_unique<TComPort>();
  combo.SetComPort(gone.get());
  combo.SetComPort(nullptr);
  combo.SetText("COM12");
  gone.reset();
  EXPECT_EQ(combo.Text(), "COM12");
}

TEST_F(ComComboBoxTest, OpeningTheListReadsThePortsAgainKeepingTheSelection) {
  ThreePorts();
  TComPort port;
  port.SetPort("COM3");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  combo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
  QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
  EXPECT_EQ(combo.itemData(2, Qt::ToolTipRole).toString(), QString::fromStdString((root_ / "dev/dev-l").string()));

  // Unchanged ports: nothing happens.
  combo.showPopup();
  combo.hidePopup();
  EXPECT_EQ(changed.count(), 0);

  // An adapter plugged in lands before the selection, which moves along.
  AddUsbTty("ttyUSB0");
  combo.showPopup();
  combo.hidePopup();
  EXPECT_EQ(Entries(combo), (QStringList{"COM1", "COM2", "COM3", "COM12"}));
  EXPECT_EQ(combo.Text(), "COM3");
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].toInt(), 2);

  // A pinned device moved: its tooltip follows.
  Pin(2, "dev-b2");
  combo.showPopup();
  combo.hidePopup();
  EXPECT_EQ(combo.itemData(1, Qt::ToolTipRole).toString(), QString::fromStdString((root_ / "dev/dev-b2").string()));
  EXPECT_EQ(changed.count(), 1);

  // The selected port went away: nothing is selected, nothing written.
  serial::UnpublishPort(3);
  combo.showPopup();
  combo.hidePopup();
  EXPECT_EQ(Entries(combo), (QStringList{"COM1", "COM2", "COM12"}));
  EXPECT_EQ(combo.currentIndex(), -1);
  EXPECT_EQ(combo.Text(), QString());
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(port.Port(), "COM3");
  EXPECT_EQ(combo.Select().PendingPort, "COM3");

  // It came back: the bound port's own name is shown again.
  Pin(3, "dev-c");
  combo.showPopup();
  combo.hidePopup();
  EXPECT_EQ(combo.Text(), "COM3");
  EXPECT_EQ(port.Port(), "COM3");

  // Other kinds are not re-read.
  combo.SetComProperty(cpBaudRate);
  RefuseEnumeration();
  combo.showPopup();
  combo.hidePopup();
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(ComComboBoxTest, RefusedRefreshIsShownAndKeepsTheList) {
  ThreePorts();
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
  combo.SetText("COM12");
  RefuseEnumeration();
  combo.showPopup();  // must not throw into Qt
  EXPECT_TRUE(combo.view()->isVisible());
  combo.hidePopup();
  EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"EnumPorts function failed (win error code: 31)"}));
  EXPECT_EQ(Entries(combo), (QStringList{"COM2", "COM3", "COM12"}));
  EXPECT_EQ(combo.Text(), "COM12");
}

TEST_F(ComComboBoxTest, ChoosingAnotherPortReopensAnOpenPortAndItsFailureIsShown) {
  TestPty first, second;
  serial::PublishPort(2, first.SlavePath());
  serial::PublishPort(4, second.SlavePath());
  Pin(3, "dev-c");
  TComPort port;
  port.SetPort("COM2");
  TComComboBox combo;
  combo.SetComProperty(cpPort);
  combo.SetComPort(&port);
  combo.SetAutoApply(true);
  port.OpenPort();
  ASSERT_TRUE(port.Connected());

  serial::UnpublishPort(3);  // the device behind COM3 goes away after the list was read
  QTest::keyClick(&combo, Qt::Key_Down);  // must not throw into Qt
  EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"Unable to open com port (win error code: 2)"}));
  EXPECT_EQ(port.Port(), "COM3");
  EXPECT_FALSE(port.Connected());

  port.SetPort("COM2");
  port.OpenPort();
  combo.SetText("COM2");
  QTest::keyClick(&combo, Qt::Key_End);
  EXPECT_TRUE(TakeErrors().empty());
  EXPECT_EQ(port.Port(), "COM4");
  ASSERT_TRUE(port.Connected());
  port.SendText("x");
  EXPECT_EQ(second.ReadSome(2000), "x");
  port.ClosePort();
}

}  // namespace
