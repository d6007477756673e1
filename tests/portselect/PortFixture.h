#pragma once
// A machine of the test's own: a port map under a fresh XDG_CONFIG_HOME,
// and an empty fake /sys/class/tty and /dev that the port enumeration uses
// instead of the real ones. Errors that reach the application's error
// display are collected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "serial/ComPort.h"
#include "portmap/PortMap.h"
#include "portmap/PortNames.h"

class PortFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zov-portselect-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldXdg_ = old;
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    std::filesystem::create_directories(root_ / "sys/class/tty");
    std::filesystem::create_directories(root_ / "dev");
    setup_.sysClassTty = root_ / "sys/class/tty";
    setup_.devDir = root_ / "dev";
    serial::SetDefaultPortScanSetup(setup_);
    SetApplicationErrorHandler([this](std::exception_ptr e) { errors_.push_back(e); });
  }
  void TearDown() override {
    SetApplicationErrorHandler([](std::exception_ptr) { ADD_FAILURE() << "error shown after the test"; });
    serial::SetDefaultPortScanSetup(serial::PortScanSetup{});
    if (oldXdg_.empty()) ::unsetenv("XDG_CONFIG_HOME"); else ::setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
    std::filesystem::remove_all(root_);
  }

  // A device file in the fake /dev, pinned as COMn.
  std::filesystem::path Pin(int n, const std::string& device) {
    const auto path = root_ / "dev" / device;
    if (!std::filesystem::exists(path)) std::ofstream(path).put('\n');
    serial::PublishPort(n, path);
    return path;
  }
  // A USB adapter the scan finds.
  void AddUsbTty(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir = root_ / "sys/devices/usb" / name / "tty" / name;
    fs::create_directories(dir);
    fs::create_directory_symlink(root_ / "sys/devices/usb" / name, dir / "device");
    fs::create_directory_symlink(dir, setup_.sysClassTty / name);
    std::ofstream(root_ / "dev" / name).put('\n');
  }
  // Makes the enumeration fail as refused by the system.
  void RefuseEnumeration() {
    serial::PortScanSetup s = setup_;
    s.sysClassTty = root_ / "not-a-directory";
    std::ofstream(s.sysClassTty).put('\n');
    serial::SetDefaultPortScanSetup(s);
  }
  void AllowEnumeration() { serial::SetDefaultPortScanSetup(setup_); }

  // The messages of the errors shown so far, and forgets them.
  std::vector<std::string> TakeErrors() {
    std::vector<std::string> out;
    for (const auto& e : errors_) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        out.push_back(x.what());
      } catch (...) {
        out.push_back("?");
      }
    }
    errors_.clear();
    return out;
  }

  std::filesystem::path root_;
  std::string oldXdg_;
  serial::PortScanSetup setup_;
  std::vector<std::exception_ptr> errors_;
};
