#include "portmap/PortMap.h"
#include "portmap/PortNames.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <pty.h>
#include <set>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;
using serial::PortScanSetup;
using serial::SerialPortEntry;
using serial::UartProbeResult;

namespace {

// A fake /sys/class/tty and /dev in a temp dir, and a port map of the
// test's own under a fresh XDG_CONFIG_HOME.
class PortNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zov-portnames-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) old_ = old;
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    fs::create_directories(root_ / "sys/class/tty");
    fs::create_directories(root_ / "dev");
    setup_.sysClassTty = root_ / "sys/class/tty";
    setup_.devDir = root_ / "dev";
    setup_.probeUart = [this](const fs::path& node) {
      probed_.insert(node.filename().string());
      const auto it = probe_.find(node.filename().string());
      return it != probe_.end() ? it->second : UartProbeResult{UartProbeResult::kUart, 0};
    };
  }
  void TearDown() override {
    if (old_.empty()) ::unsetenv("XDG_CONFIG_HOME"); else ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    fs::remove_all(root_);
  }

  // A tty of a real device: sys/devices/<parent>/tty/<name>, its device
  // link to the parent, the parent's driver link, /sys/class/tty/<name>
  // linking there, and /dev/<name>. type < 0: no "type" attribute.
  void AddTty(const std::string& name, const std::string& parent, const std::string& driver, int type = -1,
              bool devNode = true) {
    const fs::path parentDir = root_ / "sys/devices" / parent;
    const fs::path dir = parentDir / "tty" / name;
    fs::create_directories(dir);
    fs::create_directory_symlink(parentDir, dir / "device");
    if (!driver.empty() && !fs::exists(parentDir / "driver")) {
      fs::create_directories(root_ / "sys/bus/drivers" / driver);
      fs::create_directory_symlink(root_ / "sys/bus/drivers" / driver, parentDir / "driver");
    }
    if (type >= 0) std::ofstream(dir / "type") << type << "\n";
    fs::create_directory_symlink(fs::path("../../devices") / parent / "tty" / name, setup_.sysClassTty / name);
    if (devNode) std::ofstream(root_ / "dev" / name).put('\n');
  }
  // A tty under /sys/devices/virtual with no device link (ptys, consoles).
  void AddVirtual(const std::string& name) {
    fs::create_directories(root_ / "sys/devices/virtual/tty" / name);
    fs::create_directory_symlink(fs::path("../../devices/virtual/tty") / name, setup_.sysClassTty / name);
    std::ofstream(root_ / "dev" / name).put('\n');
  }

  std::vector<std::string> Listing() {
    std::vector<std::string> out;
    for (const auto& e : serial::EnumerateSerialPorts(setup_))
      out.push_back(e.name + "=" + e.device.filename().string() + (e.pinned ? "*" : ""));
    return out;
  }

  fs::path root_;
  std::string old_;
  PortScanSetup setup_;
  std::map<std::string, UartProbeResult> probe_;
  std::set<std::string> probed_;
};

using Names = std::vector<std::string>;

TEST_F(PortNamesTest, FamiliesInOrderEachByNumberNumerically) {
  AddTty("ttyUSB10", "pci/usb1/1-2", "ftdi_sio");
  AddTty("ttyUSB2", "pci/usb1/1-1", "ftdi_sio");
  AddTty("ttyACM0", "pci/usb1/1-3", "cdc_acm");
  AddTty("ttyS10", "pnp0/00:0a", "serial", 4);
  AddTty("ttyS2", "pnp0/00:02", "serial", 4);
  AddTty("ttyS0", "pnp0/00:00", "serial", 4);
  AddTty("ttyAMA1", "platform/fe201000.serial", "uart-pl011", 32);
  AddVirtual("rfcomm0");  // bound, link not up yet: kept all the same
  for (const char* v : {"tty0", "tty1", "console", "ptmx", "ttyprintk"}) AddVirtual(v);
  AddTty("ttySAC0", "platform/13800000.serial", "samsung-uart", 4);  // not a family we take
  EXPECT_EQ(Listing(), (Names{"COM1=ttyS0", "COM2=ttyS2", "COM3=ttyS10", "COM4=ttyUSB2", "COM5=ttyUSB10",
                              "COM6=ttyACM0", "COM7=ttyAMA1", "COM8=rfcomm0"}));
  // A tty with a "type" attribute is never opened to ask it.
  EXPECT_TRUE(probed_.empty());
}

TEST_F(PortNamesTest, VirtualPhantomAndNodelessTtysAreSkipped) {
  fs::create_directories(root_ / "sys/devices/virtual/tty/ttyUSB0");  // virtual even with a device link
  fs::create_directory_symlink(root_ / "sys/devices/virtual/misc", root_ / "sys/devices/virtual/tty/ttyUSB0/device");
  fs::create_directories(root_ / "sys/devices/virtual/misc");
  fs::create_directory_symlink("../../devices/virtual/tty/ttyUSB0", setup_.sysClassTty / "ttyUSB0");
  std::ofstream(root_ / "dev/ttyUSB0").put('\n');
  AddTty("ttyUSB1", "pci/usb1/1-1", "pl2303", -1, /*devNode=*/false);  // no /dev node (yet)
  AddTty("ttyS0", "pnp0/00:00", "serial", 4);
  // Linux 6.5 and later: phantom 8250 slots sit on the serial-base bus, driver "port".
  AddTty("ttyS1", "platform/serial8250/serial8250:0/serial8250:0.1", "port", 0);
  AddTty("ttyS2", "platform/serial8250/serial8250:0/serial8250:0.2", "port", 0);
  AddTty("ttyACM0", "pci/usb1/1-4", "cdc_acm");
  fs::remove(root_ / "sys/devices/pci/usb1/1-4/tty/ttyACM0/device");  // no device link at all
  AddTty("ttyACM1", "pci/usb1/1-5", "cdc_acm");
  EXPECT_EQ(Listing(), (Names{"COM1=ttyS0", "COM2=ttyACM1"}));
  EXPECT_TRUE(probed_.empty());
}

TEST_F(PortNamesTest, TtySWithoutTypeAttributeIsAskedThroughTheDevice) {
  for (const char* n : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"}) AddTty(n, "platform/serial8250", "serial8250");
  AddTty("ttyS4", "pnp0/00:04", "serial");
  AddTty("ttyS5", "platform/other", "other");
  AddTty("ttyUSB0", "pci/usb1/1-1", "ftdi_sio");
  probe_["ttyS1"] = {UartProbeResult::kNoUart, 0};       // an empty slot
  probe_["ttyS2"] = {UartProbeResult::kCannotOpen, EACCES};  // cannot tell: an 8250 slot is most likely empty
  probe_["ttyS3"] = {UartProbeResult::kCannotOpen, EBUSY};   // someone holds it: real
  probe_["ttyS4"] = {UartProbeResult::kCannotOpen, EACCES};  // not the 8250 platform driver: real
  probe_["ttyS5"] = {UartProbeResult::kNotAsked, ENOTTY};    // not a serial core port
  EXPECT_EQ(Listing(), (Names{"COM1=ttyS0", "COM2=ttyS3", "COM3=ttyS4", "COM4=ttyS5", "COM5=ttyUSB0"}));
  EXPECT_EQ(probed_, (std::set<std::string>{"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS4", "ttyS5"}));
}

TEST_F(PortNamesTest, MapPinsNumbersAndItsDevicesAreNotListedTwice) {
  AddTty("ttyS0", "pnp0/00:00", "serial", 4);
  AddTty("ttyUSB0", "pci/usb1/1-1", "ftdi_sio");
  AddTty("ttyUSB1", "pci/usb1/1-2", "ftdi_sio");
  AddTty("ttyACM0", "pci/usb1/1-3", "cdc_acm");
  fs::create_directories(root_ / "dev/serial/by-id");
  fs::create_symlink("../../ttyUSB1", root_ / "dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0");
  serial::PublishPort(1, root_ / "dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0");
  serial::PublishPort(3, root_ / "dev/serial/by-id/usb-gone");  // pinned adapter unplugged
  serial::PublishPort(12, "/dev/null");
  EXPECT_EQ(Listing(), (Names{"COM1=usb-FTDI_FT232R_A1B2-if00-port0*", "COM2=ttyS0", "COM4=ttyUSB0",
                              "COM5=ttyACM0", "COM12=null*"}));

  EXPECT_EQ(serial::ResolvePortDevice("COM1", setup_), root_ / "dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0");
  EXPECT_EQ(serial::ResolvePortDevice("COM2", setup_), root_ / "dev/ttyS0");
  // A pinned number resolves to its entry even when the device is missing,
  // so that opening it says "not found" rather than picking another device.
  EXPECT_EQ(serial::ResolvePortDevice("COM3", setup_), root_ / "dev/serial/by-id/usb-gone");
  EXPECT_EQ(serial::ResolvePortDevice("COM5", setup_), root_ / "dev/ttyACM0");
  EXPECT_EQ(serial::ResolvePortDevice("COM6", setup_), std::nullopt);
  for (const char* bad : {"com2", "COM02", "COM0", "COM17", "COM", "2", ""})
    EXPECT_EQ(serial::ResolvePortDevice(bad, setup_), std::nullopt) << bad;
}

TEST_F(PortNamesTest, NumbersEndAtSixteen) {
  for (int i = 0; i < 20; ++i) AddTty("ttyUSB" + std::to_string(i), "pci/usb/" + std::to_string(i), "ftdi_sio");
  serial::PublishPort(16, "/dev/null");
  const auto ports = serial::EnumerateSerialPorts(setup_);
  ASSERT_EQ(ports.size(), 16u);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(ports[i].number, i + 1);
    EXPECT_EQ(ports[i].device, root_ / "dev" / ("ttyUSB" + std::to_string(i)));
  }
  EXPECT_EQ(ports[15].name, "COM16");
  EXPECT_EQ(ports[15].device, fs::path("/dev/null"));
}

TEST_F(PortNamesTest, RefusedEnumerationThrowsAndMissingSysfsFindsNothing) {
  serial::PublishPort(2, "/dev/null");
  setup_.sysClassTty = root_ / "nonexistent";
  EXPECT_EQ(Listing(), (Names{"COM2=null*"}));

  setup_.sysClassTty = root_ / "dev/ttyX";  // not a directory: the system refuses
  std::ofstream(setup_.sysClassTty).put('\n');
  EXPECT_THROW(serial::EnumerateSerialPorts(setup_), std::system_error);
  EXPECT_EQ(serial::ResolvePortDevice("COM2", setup_), fs::path("/dev/null"));  // the map needs no scan
  EXPECT_THROW(serial::ResolvePortDevice("COM1", setup_), std::system_error);
}

TEST(ProbeUart, ReportsPtyAsNotAskedAndMissingNodeAsNotOpened) {
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  EXPECT_EQ(serial::ProbeUart(name).kind, UartProbeResult::kNotAsked);
  ::close(slave);
  ::close(master);
  const auto r = serial::ProbeUart("/nonexistent/ttyS0");
  EXPECT_EQ(r.kind, UartProbeResult::kCannotOpen);
  EXPECT_EQ(r.error, ENOENT);
}

}  // namespace
