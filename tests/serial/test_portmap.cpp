#include "portmap/PortMap.h"

#include "ProcessLimits.h"

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

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

fs::path AccountHome() {
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_dir ? fs::path(pw->pw_dir) : fs::path();
}

TEST_F(PortMapTest, DirectoryFollowsXdgConfigHomeThenHomeThenTheAccountsHome) {
  const fs::path tail = fs::path("zov-q5r") / "ports";
  EXPECT_EQ(serial::PortMapDir(), dir_ / tail);
  struct Case {
    const char* xdg;
    const char* home;
    fs::path want;  // empty: the account's home
  };
  const Case cases[] = {
      {"", "/home/op", "/home/op/.config"},
      {"relative/config", "/home/op", "/home/op/.config"},  // not absolute: ignored
      {nullptr, "/home/op", "/home/op/.config"},
      {nullptr, "relative", ""},
      {nullptr, "", ""},
      {nullptr, nullptr, ""},  // never /tmp: another user could plant COM1 there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    const fs::path want = c.want.empty() ? AccountHome() / ".config" : c.want;
    EXPECT_EQ(serial::PortMapDir(), want / tail);
  }
}

// An account the password database does not know, with no HOME: no map at
// all, and a warning, rather than a directory someone else could write.
TEST_F(PortMapTest, AnAccountWithoutAHomeHasNoPortMap) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to take on an unknown account";
  uid_t stranger = 54321;
  while (::getpwuid(stranger)) ++stranger;
  serial::PublishPort(2, "/dev/null");  // in the test's own map, out of the stranger's reach
  EXPECT_EXIT(
      {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("HOME");
        if (::setresuid(stranger, stranger, stranger) != 0) std::_Exit(3);
        bool ok = serial::PortMapDir().empty() && serial::PortMapEntries().empty();
        try {
          serial::PublishPort(1, "/dev/null");
          ok = false;
        } catch (const std::system_error&) {
        }
        serial::UnpublishPort(1);  // nothing to remove: harmless
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "no home directory");
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

// Processes that reuse the same dangling entry at once: each number goes to
// exactly one of them, and each entry points at its winner's device.
TEST_F(PortMapTest, ProcessesRacingForADanglingEntryEachGetANumberOfTheirOwn) {
  constexpr int kProcesses = 6;
  std::vector<fs::path> devices;
  for (int i = 0; i < kProcesses; ++i) {
    devices.push_back(dir_ / ("dev" + std::to_string(i)));
    std::ofstream(devices.back()).put('x');
  }
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE(round);
    for (int n = 1; n <= serial::kMaxPortNumber; ++n) serial::UnpublishPort(n);
    serial::PublishPort(1, "/nonexistent/device");  // left behind by a killed program
    int go[2], results[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(results), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        char c;
        ::close(go[1]);
        if (::read(go[0], &c, 1) != 0) std::_Exit(2);  // all start when the pipe closes
        int got = -1;
        try {
          got = serial::PublishFirstFreePort(devices[i]);
        } catch (...) {
        }
        const int msg[2] = {i, got};
        std::_Exit(::write(results[1], msg, sizeof msg) == sizeof msg ? 0 : 1);
      }
      children.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]);
    ::close(results[1]);
    std::set<int> numbers;
    int msg[2];
    while (::read(results[0], msg, sizeof msg) == sizeof msg) {
      EXPECT_TRUE(numbers.insert(msg[1]).second) << "COM" << msg[1] << " went to two processes";
      EXPECT_EQ(serial::PortMapEntries()[msg[1]], devices[msg[0]]);
    }
    ::close(results[0]);
    for (pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(numbers, (std::set<int>{1, 2, 3, 4, 5, 6}));
  }
}

}  // namespace
