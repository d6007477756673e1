#include "portmap/PortMap.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every test gets a port map of its own under a fresh XDG_CONFIG_HOME.
class PortMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zov-portmap-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (old_.empty()) ::unsetenv("XDG_CONFIG_HOME"); else ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string old_;
};

TEST_F(PortMapTest, DirectoryFollowsXdgConfigHomeAndFallsBackToHome) {
  EXPECT_EQ(serial::PortMapDir(), dir_ / "zov-q5r" / "ports");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(serial::PortMapDir(), fs::path(home) / ".config" / "zov-q5r" / "ports");
}

TEST_F(PortMapTest, PublishListAndRemove) {
  EXPECT_TRUE(serial::PortMapEntries().empty());  // no directory yet
  serial::PublishPort(3, "/dev/null");
  serial::PublishPort(16, "/dev/zero");
  auto m = serial::PortMapEntries();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[3], fs::path("/dev/null"));
  EXPECT_EQ(m[16], fs::path("/dev/zero"));
  serial::PublishPort(3, "/dev/zero");  // replaces
  EXPECT_EQ(serial::PortMapEntries()[3], fs::path("/dev/zero"));
  serial::UnpublishPort(3);
  serial::UnpublishPort(3);  // already gone: harmless
  EXPECT_EQ(serial::PortMapEntries().count(3), 0u);
}

TEST_F(PortMapTest, IgnoresForeignNamesAndKeepsPlainNodes) {
  fs::create_directories(serial::PortMapDir());
  for (const char* n : {"COM0", "COM17", "COM01", "com2", "LPT1", "COM3x"})
    fs::create_symlink("/dev/null", serial::PortMapDir() / n);
  std::ofstream(serial::PortMapDir() / "COM5").put('x');
  auto m = serial::PortMapEntries();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[5], serial::PortMapDir() / "COM5");
}

TEST_F(PortMapTest, FirstFreeSkipsTakenAndReusesDanglingEntries) {
  serial::PublishPort(1, "/dev/null");
  serial::PublishPort(2, "/nonexistent/device");  // left behind by a killed program
  EXPECT_EQ(serial::PublishFirstFreePort("/dev/zero"), 2);
  EXPECT_EQ(serial::PublishFirstFreePort("/dev/zero"), 3);
  for (int n = 4; n <= 16; ++n) serial::PublishPort(n, "/dev/null");
  EXPECT_EQ(serial::PublishFirstFreePort("/dev/zero"), 0);
}

}  // namespace
