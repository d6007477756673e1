// The trace file: what it may be opened on (never a serial port, never a
// FIFO nobody reads), a write that fails stopping it with one report and
// the program carrying on, and the date line before the first line and
// whenever the date or the offset from UTC changes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "ProcessLimits.h"
#include "files/Files.h"
#include "portmap/PortMap.h"
#include "trace/TraceFile.h"

namespace fs = std::filesystem;
using trace::TTraceFile;

namespace {

// A folder of the test's own, also its port map's (XDG_CONFIG_HOME).
class TraceFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int fd : fds_) ::close(fd);
    fs::remove_all(dir_);
  }
  std::string At(const char* name) const { return (dir_ / name).string(); }
  int Keep(int fd) {
    fds_.push_back(fd);
    return fd;
  }
  void Close(int fd) {
    std::erase(fds_, fd);
    ::close(fd);
  }
  // A new pseudo-terminal's slave; its master stays open.
  std::string Pty() {
    const int m = Keep(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    return ::grantpt(m) == 0 && ::unlockpt(m) == 0 ? ::ptsname(m) : "";
  }
  // A FIFO, and its read end unless nobody is to read it.
  std::string Fifo(const char* name, int* reader) {
    const std::string path = At(name);
    ::mkfifo(path.c_str(), 0600);
    if (reader) *reader = Keep(::open(path.c_str(), O_RDONLY | O_NONBLOCK));
    return path;
  }

  fs::path dir_ = [] {
    char tmpl[] = "/tmp/zov-trace-XXXXXX";
    return fs::path(::mkdtemp(tmpl));
  }();
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.c_str()};
  std::vector<int> fds_;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST_F(TraceFileTest, OpensOnAFilePipeOrTerminalButNeverOnASerialPort) {
  // As root, a node of the test's own with ttyS0's numbers: refused before
  // it is opened.
  const std::string uart = ::geteuid() == 0 ? At("ttyS0") : "";
  if (!uart.empty()) ::mknod(uart.c_str(), S_IFCHR | 0600, makedev(4, 64));
  int reader = -1;
  const std::string published = Pty();
  serial::PublishPort(5, published);  // as the simulated receiver publishes its line
  struct Case {
    const char* what;
    std::string path;
    const char* refusal;  // "" when it opens
  } cases[] = {
      {"a new file", At("trace.log"), ""},
      {"a FIFO that a program reads", Fifo("read", &reader), ""},
      {"a FIFO that nobody reads", Fifo("unread", nullptr), "no program reads from this FIFO (or pipe)"},
      {"a terminal to watch it in", Pty(), ""},
      {"the null device", "/dev/null", ""},
      {"a terminal that is one of the COM ports", published,
       "it is the serial port COM5 (", /* the device follows */},
      {"a directory", dir_.string(), "it is a directory"},
      {"another device", "/dev/zero", "it is a serial port or another device"},
      {"a UART's node", uart, "it is a serial port or another device"},
  };
  for (const Case& c : cases) {
    if (c.path.empty()) continue;  // not root
    std::string error;
    const std::unique_ptr<TTraceFile> file = TTraceFile::Open(c.path, &error);
    EXPECT_EQ(file != nullptr, *c.refusal == '\0') << c.what << ": " << error;
    EXPECT_EQ(error.substr(0, std::strlen(c.refusal)), c.refusal) << c.what;
  }
  serial::UnpublishPort(5);
}

// The program carries on without its trace: no signal ends it (the program
// ignores them, as here), and the stop is told once however many lines
// follow.
TEST_F(TraceFileTest, AWriteThatFailsStopsTheTraceWithOneReport) {
  files::IgnoreWriteSignals();
  int reader = -1;
  struct Case {
    const char* what;
    std::function<std::string()> target;  // the path the trace opens
    std::function<void()> fail;           // what happens after the first line
    const char* reason;
  } cases[] = {
      {"the reader gone", [&] { return Fifo("gone", &reader); }, [&] { Close(reader); }, "Broken pipe"},
      {"a reader that does not read", [&] { return Fifo("full", &reader); }, [] {}, "its reader does not keep up"},
      {"a full device", [] { return std::string("/dev/full"); }, [] {}, "No space left on device"},
      {"the file size limit", [&] { return At("limited.log"); },
       [&] { SetFileSizeLimit(fs::file_size(At("limited.log"))); },
       "File too large"},
  };
  for (const Case& c : cases) {
    const std::string path = c.target();
    auto file = TTraceFile::Open(path, nullptr);
    ASSERT_TRUE(file) << c.what;
    std::vector<std::string> reports;
    file->SetReporter([&](const std::string& message) { reports.push_back(message); });
    file->Comment("the first line");
    c.fail();
    // Lines enough to fill a pipe that nobody empties.
    for (int i = 0; i < 100000 && !file->Stopped(); ++i) file->Data(trace::TDirection::Tx, std::string(60, 'e'));
    for (int i = 0; i < 3; ++i) file->Comment("after the stop");
    SetFileSizeLimit(RLIM_INFINITY);
    EXPECT_TRUE(file->Stopped()) << c.what;
    EXPECT_EQ(reports, std::vector<std::string>{"zov-q5r: tracing stops, the trace file " + path +
                                                " cannot be written: " + c.reason})
        << c.what;
  }
}

TEST_F(TraceFileTest, TheDateAndOffsetComeFirstAndWheneverEitherChanges) {
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  ::tzset();
  const std::string path = At("trace.log");
  {
    std::ofstream(path) << "12:00:00.000 # an earlier run\n";
    auto file = TTraceFile::Open(path, nullptr);
    ASSERT_TRUE(file);
    using std::chrono::milliseconds;
    const auto utc = [](std::time_t t, int ms) { return std::chrono::system_clock::from_time_t(t) + milliseconds(ms); };
    file->Comment("started", utc(1792792740, 5));                 // 2026-10-23 23:59:00.005 +0200
    file->Data(trace::TDirection::Tx, "e", utc(1792792800, 250));  // midnight
    file->Data(trace::TDirection::Rx, "CMD>", utc(1792888200, 0));  // 2026-10-25 00:30 UTC
    file->Comment("an hour later", utc(1792891800, 0));             // 01:30 UTC: the clocks went back
    file->Comment("and again", utc(1792891801, 999));
  }
  EXPECT_EQ(Read(path),
            "12:00:00.000 # an earlier run\n"
            "23:59:00.005 # date 2026-10-23, UTC offset +0200\n"
            "23:59:00.005 # started\n"
            "00:00:00.250 # date 2026-10-24, UTC offset +0200\n"
            "00:00:00.250 TX 65 |e|\n"
            "02:30:00.000 # date 2026-10-25, UTC offset +0200\n"
            "02:30:00.000 RX 43 4D 44 3E |CMD>|\n"
            "02:30:00.000 # date 2026-10-25, UTC offset +0100\n"
            "02:30:00.000 # an hour later\n"
            "02:30:01.999 # and again\n");
}
