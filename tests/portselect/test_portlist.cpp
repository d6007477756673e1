#include "serial/PortList.h"

#include "PortFixture.h"

namespace {

using PortListTest = PortFixture;
using Names = std::vector<std::string>;

TEST_F(PortListTest, AppendsPinnedAndFoundPortsInNumberOrderWithNamesWhole) {
  Pin(12, "pinned-a");
  Pin(3, "pinned-b");
  AddUsbTty("ttyUSB1");
  AddUsbTty("ttyUSB0");
  AddUsbTty("ttyACM0");
  Names list{"kept"};
  ListSerialPorts(list);
  EXPECT_EQ(list, (Names{"kept", "COM1", "COM2", "COM3", "COM4", "COM12"}));
}

TEST_F(PortListTest, RefusedEnumerationRaisesCode15WithTheOsCode) {
  Pin(1, "pinned");
  RefuseEnumeration();
  Names list{"kept"};
  try {
    ListSerialPorts(list);
    FAIL() << "no error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode(), 15);
    EXPECT_EQ(e.Errno(), ENOTDIR);
    EXPECT_EQ(e.OsErrorCode(), 31);
    EXPECT_STREQ(e.what(), "EnumPorts function failed (win error code: 31)");
  }
  EXPECT_EQ(list, Names{"kept"});
  EXPECT_THROW(ListSerialPortEntries(), EComPort);
}

}  // namespace
