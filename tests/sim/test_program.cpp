// The zov-receiver-sim program: what it prints, how reset is pressed, and
// that it removes its port-map entry however it ends.
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

#include "SimTestSupport.h"

extern char** environ;

namespace {

using namespace simtest;

// The program running with its stdin and stdout on pipes.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDERR_FILENO);
    args.insert(args.begin(), ZOV_RECEIVER_SIM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ZOV_RECEIVER_SIM, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
  }
  ~Program() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdin_ >= 0) ::close(stdin_);
    if (stdout_ >= 0) ::close(stdout_);
  }
  bool ok() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Reads its output until `needle` shows up (at or after offset `from`) or
  // timeoutMs passes.
  bool WaitOutput(std::string_view needle, int timeoutMs, std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + Ms(timeoutMs);
    while (output_.find(needle, from) == std::string::npos) {
      const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now()).count();
      pollfd p{stdout_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
      char buf[4096];
      const ssize_t n = ::read(stdout_, buf, sizeof buf);
      if (n <= 0) return output_.find(needle, from) != std::string::npos;
      output_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }
  const std::string& Output() const { return output_; }
  void Type(std::string_view text) { ASSERT_EQ(::write(stdin_, text.data(), text.size()), (ssize_t)text.size()); }
  void CloseStdin() { ::close(stdin_); stdin_ = -1; }

  // Exit status, or -1 when it has not ended within timeoutMs.
  int Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + Ms(timeoutMs);
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exited_ = true;
        WaitOutput("\x01", 200);   // drain what it printed last
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(Ms(10));
    }
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1, stdout_ = -1;
  bool exited_ = false;
  std::string output_;
};

class ProgramTest : public PortMapFixture {};

TEST_F(ProgramTest, HelpDocumentsEveryFaultAndBadArgumentsAreRefused) {
  {
    Program p({"--help"});
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.Wait(5000), 0);
    for (sim::Fault f : sim::AllFaults()) EXPECT_NE(p.Output().find(sim::FaultName(f)), std::string::npos);
    for (const char* s :
         {"WORD:", "TREMO", "OP:", "CMD>", "--reset-on-start", "SIGUSR1", "--log", "--no-pacing", "--burst",
          "--swap-after-write"})
      EXPECT_NE(p.Output().find(s), std::string::npos) << s;
  }
  for (auto args : std::vector<std::vector<std::string>>{
           {"--fault", "bogus"}, {"--port", "COM17"}, {"--port", "LPT1"}, {"--port"}, {"--monitor-lines", "x"},
           {"--burst", "0"}, {"--frobnicate"}, {"--swap-after-write", "65536"}, {"--swap-after-write", "4661,,4662"},
           {"--swap-after-write", "4661,x"}, {"--swap-after-write", ""}}) {
    Program p(args);
    EXPECT_EQ(p.Wait(5000), 2) << args[0];
  }
  EXPECT_TRUE(serial::PortMapEntries().empty());
}

TEST_F(ProgramTest, RunsAsPrintedResetsOnEnterAndSignalAndCleansUpOnSigterm) {
  const std::string log = (dir_ / "sim.log").string();
  Program p({"--port", "Com7", "--no-pacing", "--log", log});   // COM names in any letter case
  ASSERT_TRUE(p.ok());
  ASSERT_TRUE(p.WaitOutput("press Enter here", 5000)) << p.Output();
  EXPECT_NE(p.Output().find("COM7"), std::string::npos);
  const fs::path device = Line::Resolve(7);
  ASSERT_FALSE(device.empty());
  EXPECT_NE(p.Output().find(device.string()), std::string::npos);

  Line line(device);
  ASSERT_TRUE(line.ok());
  line.Send(" ");
  std::string early;
  EXPECT_FALSE(line.ReadSome(early, 200)) << early;   // no reset yet
  p.Type("\n");                         // Enter presses it
  ASSERT_TRUE(p.WaitOutput("reset pressed", 2000));
  line.Send(" ");
  EXPECT_EQ(line.ReadUntil("WORD:", 2000), "\r\nPASSWORD:");
  line.Send("TREMO");
  line.ReadUntil("OP:", 2000);
  line.Send("d");
  EXPECT_EQ(line.ReadUntil("CMD>", 2000), "\r\nCMD>");

  ASSERT_TRUE(p.WaitOutput("logged in, operator code 100", 2000));
  const std::size_t loggedIn = p.Output().size();
  ::kill(p.pid(), SIGUSR1);             // and so does SIGUSR1
  ASSERT_TRUE(p.WaitOutput("reset pressed", 2000, loggedIn));
  line.Send(" ");
  EXPECT_EQ(line.ReadUntil("WORD:", 2000), "\r\nPASSWORD:");

  ::kill(p.pid(), SIGTERM);
  EXPECT_EQ(p.Wait(5000), 0);
  EXPECT_TRUE(Line::Resolve(7).empty());
  std::ifstream f(log);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_NE(ss.str().find("|TREMO|"), std::string::npos);
}

TEST_F(ProgramTest, SigintAndQuitEndItCleanlyWithoutATerminal) {
  {
    Program p({"--no-pacing"});
    ASSERT_TRUE(p.WaitOutput("press Enter here", 5000)) << p.Output();
    EXPECT_FALSE(Line::Resolve(1).empty());
    // No terminal: it keeps running on signals. A reset by signal after the
    // end of its input still reaches a line that is still there.
    p.CloseStdin();
    const std::size_t started = p.Output().size();
    ::kill(p.pid(), SIGUSR1);
    ASSERT_TRUE(p.WaitOutput("reset pressed", 2000, started)) << p.Output();
    Line line(Line::Resolve(1));
    ASSERT_TRUE(line.ok());
    line.Send(" ");
    EXPECT_EQ(line.ReadUntil("WORD:", 2000), "\r\nPASSWORD:");
    ::kill(p.pid(), SIGINT);
    EXPECT_EQ(p.Wait(5000), 0);
    EXPECT_TRUE(serial::PortMapEntries().empty());
  }
  {
    Program p({"--no-pacing", "--port", "3"});
    ASSERT_TRUE(p.WaitOutput("press Enter here", 5000)) << p.Output();
    p.Type("q\n");
    EXPECT_EQ(p.Wait(5000), 0);
    EXPECT_TRUE(serial::PortMapEntries().empty());
  }
}

TEST_F(ProgramTest, TakenPortIsReportedAndVanishEndsTheProgram) {
  serial::PublishPort(2, "/dev/null");
  {
    Program p({"--port", "COM2"});
    EXPECT_EQ(p.Wait(5000), 1);
    EXPECT_NE(p.Output().find("COM2 is taken"), std::string::npos) << p.Output();
    EXPECT_EQ(Line::Resolve(2), fs::path("/dev/null"));
  }
  Program p({"--no-pacing", "--reset-on-start", "--fault", "vanish,garbage"});
  ASSERT_TRUE(p.WaitOutput("press Enter here", 5000)) << p.Output();
  EXPECT_NE(p.Output().find("Faults on: garbage vanish"), std::string::npos) << p.Output();
  Line line(Line::Resolve(1));
  ASSERT_TRUE(line.ok());
  line.Send(" ");
  line.ReadUntil("WORD:", 2000);
  line.Send("TREMO");
  line.ReadUntil("OP:", 2000);
  line.Send("d");
  line.ReadUntil("CMD>", 2000);
  line.Send("\r");
  EXPECT_EQ(p.Wait(5000), 0);
  EXPECT_NE(p.Output().find("the line is gone"), std::string::npos);
  EXPECT_EQ(serial::PortMapEntries().count(1), 0u);
  EXPECT_EQ(Line::Resolve(2), fs::path("/dev/null"));
}

}  // namespace
