// The client end to end: the real program as a process, a simulated receiver
// on a pseudo-terminal in this process, one table of command lines and what
// they must come to (exit status, stdout and stderr, the write log, the
// backup, what the receiver took). Ctrl+C is sent when the receiver has got
// so many bytes of the frame, or when stderr has said so much: never after
// a guessed time.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "portmap/PortMap.h"
#include "receiver/SetCompare.h"
#include "sim/Receiver.h"

namespace {

// What the receiver is before the client starts.
enum class TReset {
  OnStart,    // just reset
  WhenAsked,  // reset once the client asks for it
  Never,      // never answers
};
enum class TFile { None, Same, Different, Refused };

// When Ctrl+C goes to the client: once the receiver has this many bytes of
// the frame (-1: any), and stderr holds this ("": anything).
struct TSignalAt {
  int frameBytes = -1;
  std::string stderrHas;
};

struct TCase {
  std::string name;
  std::vector<std::string> args;  // {port} {file} {out} stand for theirs
  TFile file = TFile::None;
  bool receiver = true;
  TReset reset = TReset::OnStart;
  std::set<sim::Fault> faults = {};
  std::vector<int> swaps = {};
  std::string replyToE = "";  // the receiver's answer to "e" ("": its own)
  std::vector<TSignalAt> interrupts = {};
  bool stdoutClosed = false;  // a pipe whose reader has gone
  int status = 0;
  std::vector<std::string> out = {}, err = {};
  std::vector<std::string> log = {};  // the write log holds them; none: it stays empty
  int frames = 0;                     // frames the receiver took
  bool backup = false;                // zalohy/prijimac-4660-*.q5r
  bool outFile = false;               // {out} was written
  std::vector<std::string> outHas = {};  // and holds them
};

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

std::string ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

// The bytes of the frame the receiver has got so far: after the last
// carriage return and "z".
int FrameBytes(const sim::Receiver& rx) {
  const std::string text = rx.ReceivedText();
  const std::size_t z = text.rfind("\rz");
  return z == std::string::npos ? 0 : static_cast<int>(text.size() - z - 2);
}

// The receiver's reply to "e" with its own set, field `at` written as
// format has it.
std::string ReplyToE(int at, const char* format) {
  const sim::ParamSet set = sim::Receiver::DefaultParams();
  std::string reply = "PARAMETRY\r\n";
  for (int i = 0; i < sim::kParamSize; ++i) {
    char f[8];
    std::snprintf(f, sizeof f, i == at ? format : "%03u", static_cast<unsigned>(set[i]));
    reply += (i ? "," : "") + std::string(f);
  }
  return reply + "\r\nCMD>";
}
// One field not three digits.
const std::string kDamaged = ReplyToE(40, "0x%u");
// A dead time of 0, which the receiver may hold but no set file takes.
const std::string kDeadZero = ReplyToE(2, "000");

// Polls until cond holds; false at the deadline (which only a broken run
// reaches).
bool Eventually(const std::function<bool()>& cond, int ms = 120000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

const std::string kLog = "  výrobní číslo 4660  ";

const TCase kCases[] = {
    {.name = "PortsListsTheReceiversPort", .args = {"ports"}, .out = {"{port}  {device}\n"}},
    {.name = "ReadPrintsTheSetFileOfAReceiverResetBeforeTheStart",
     .args = {"--port", "{port}", "read"},
     .out = {"ZOV Q5r sada parametrů, verze 1\n", "výrobní číslo 4660", "\nDead = 180\n"},
     .err = {"Stiskněte tlačítko reset na přijímači…"}},
    {.name = "ReadToAFileAsJsonAfterTheResetAskedFor",
     .args = {"read", "--json", "-o", "{out}", "--port", "{port}"},
     .reset = TReset::WhenAsked,
     .out = {R"({"command":"read","port":"{port}","serial":4660,"result":"ok","set":{"Adr1":543001,)",
             R"("Dead":180,)", R"("damaged":false,"file":"{out}"})"},
     .outFile = true,
     .outHas = {"ZOV Q5r sada parametrů, verze 1\n", "\nDead = 180\n"}},
    {.name = "ReadOfAValueNoSetFileTakesIsRefused",
     .args = {"--port", "{port}", "read", "-o", "{out}"},
     .replyToE = kDeadZero,
     .status = 1,
     .err = {"zov-q5r-cli: Mrtvý čas (Dead): Nepovolený vstup – přijímač drží 0, sada bere 1 až 255"}},
    {.name = "DiffOfTheSameSetIsSilentAndZero",
     .args = {"--port", "{port}", "--json", "diff", "{file}"},
     .file = TFile::Same,
     .out = {R"({"command":"diff","port":"{port}","serial":4660,"result":"same"})"}},
    {.name = "DiffListsTheFieldsThatDifferAndIsOne",
     .args = {"--port", "{port}", "diff", "{file}"},
     .file = TFile::Different,
     .status = 1,
     .out = {"Dead  Mrtvý čas  soubor 99  přijímač 180\n"}},
    {.name = "WriteIsVerifiedBackedUpAndRecorded",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Different,
     .err = {"Záloha: ", "Mrtvý čas: 180 → 99\n", "Zápis parametrů…\nOvěření zápisu…\nParametry zapsány a ověřeny\n"},
     .log = {"parametry  {port}" + kLog + "ověřeno\n  Mrtvý čas: 180 → 99\n"},
     .frames = 1,
     .backup = true},
    {.name = "WriteNotVerifiedSaysWhatTheReceiverHolds",
     .args = {"--port", "{port}", "--json", "write", "{file}"},
     .file = TFile::Different,
     .faults = {sim::Fault::KeepsOldSet},
     .status = 1,
     .out = {R"("result":"not-verified")",
             R"("differences":[{"field":"Dead","label":"Mrtvý čas","written":99,"receiver":180}])"},
     .err = {"Zápis parametrů se nepodařilo ověřit\nMrtvý čas: zapsáno 99, v přijímači 180\n"},
     .log = {"parametry  {port}" + kLog + "neověřeno\n"},
     .frames = 1,
     .backup = true},
    {.name = "WriteOfTheSetTheReceiverHoldsWritesNothing",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Same,
     .err = {"beze změny\n"}},
    {.name = "WriteAfterADamagedReadOutIsRefused",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Different,
     .replyToE = kDamaged,
     .status = 5,
     .err = {"zov-q5r-cli: Odpověď přijímače je poškozená"}},
    {.name = "WriteAfterADamagedReadOutWithForce",
     .args = {"--port", "{port}", "write", "{file}", "--force"},
     .file = TFile::Different,
     .replyToE = kDamaged,
     .status = 1,  // the read-back is as damaged
     .err = {"pokračuje se (--force)", "Zápis parametrů se nepodařilo ověřit\nOdpověď přijímače je poškozená\n"},
     .log = {"parametry  {port}  výrobní číslo neznámé  neověřeno\n"},
     .frames = 1,
     .backup = true},
    {.name = "WriteEachOverTwoReceivers",
     .args = {"--port", "{port}", "write", "{file}", "--each", "--count", "2"},
     .file = TFile::Different,
     .swaps = {4661},
     .err = {"Souhrn:\n4660  ověřeno\n4661  ověřeno\n"},
     .log = {"parametry  {port}" + kLog + "ověřeno\n", "parametry  {port}  výrobní číslo 4661  ověřeno\n"},
     .frames = 2,
     .backup = true},
    {.name = "WriteEachSkipsAReceiverWrittenAndEndsWithCtrlCWhileWaiting",
     .args = {"--port", "{port}", "--json", "write", "{file}", "--each"},
     .file = TFile::Different,
     .swaps = {4660},
     .interrupts = {{-1, "přeskočeno"}},
     .out = {R"({"command":"write","port":"{port}","result":"summary","receivers":[{"serial":4660,"result":"verified"}]})"},
     .err = {"Přijímač 4660 už byl v tomto běhu zapsán – přeskočeno\n", "Souhrn:\n4660  ověřeno\n"},
     .log = {"parametry  {port}" + kLog + "ověřeno\n"},
     .frames = 1,
     .backup = true},
    {.name = "ClockSetFromThePcIsVerified",
     .args = {"--port", "{port}", "--json", "clock", "--set-from-pc"},
     .out = {R"("result":"verified","receiver":")", R"(","difference_s":)"},
     .err = {"Hodiny přijímače zapsány a ověřeny\n"},
     .log = {"hodiny  {port}  výrobní číslo neznámé  ověřeno\n"}},
    {.name = "ClockSetNotVerified",
     .args = {"--port", "{port}", "clock", "--set-from-pc"},
     .faults = {sim::Fault::ClockOff},
     .status = 1,
     .out = {"\nrozdíl "},
     .err = {"Zápis hodin se nepodařilo ověřit\nPřijímač ukazuje: "},
     .log = {"hodiny  {port}  výrobní číslo neznámé  neověřeno\n"}},
    {.name = "MonitorToStdout",
     .args = {"--port", "{port}", "monitor"},
     .out = {"0001 02.01.25 06:37:00 ", "\r\n0020 "}},
    {.name = "MonitorSavedAndCleared",
     .args = {"--servis", "--port", "{port}", "monitor", "-o", "{out}", "--clear", "--yes"},
     .err = {"Příkaz k vymazání monitoru odeslán"},
     .log = {"nulování monitoru  {port}  výrobní číslo neznámé  odesláno\n  čtení před nulováním uloženo do {out}\n"},
     .outFile = true,
     .outHas = {"0001 02.01.25 06:37:00 "}},
    {.name = "APortWhoseDeviceIsMissing",
     .args = {"--port", "COM16", "read"},
     .receiver = false,
     .status = 3,
     .err = {"zov-q5r-cli: Unable to open com port (win error code: 2): "}},
    {.name = "APortLostDuringTheReadOutIsToldOnceAndTraced",
     .args = {"--port", "{port}", "read", "--trace", "{out}"},
     .faults = {sim::Fault::Vanish},
     .status = 3,
     .err = {"Čtení parametrů…\nzov-q5r-cli: WaitForEvent method failed (win error code: 1117)"},
     .outFile = true,
     .outHas = {"# zov-q5r-cli ", ", trace started\n", " TX 65 |e|\n", "# error: WaitForEvent method failed"}},
    {.name = "AReceiverThatNeverAnswers",
     .args = {"--port", "{port}", "--login-timeout", "1", "read"},
     .reset = TReset::Never,
     .status = 4,
     .err = {"zov-q5r-cli: Přijímač neodpověděl: do 1 s se nepřihlásil"}},
    {.name = "CtrlCInTheFrameLetsItFinish",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Different,
     .interrupts = {{20, ""}},
     .status = 130,
     .err = {"Zápis parametrů nelze přerušit uprostřed", "Parametry zapsány a ověřeny\n"},
     .log = {"parametry  {port}" + kLog + "ověřeno\n"},
     .frames = 1,
     .backup = true},
    {.name = "ASecondCtrlCStopsTheFrame",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Different,
     .interrupts = {{20, ""}, {30, "nelze přerušit"}},
     .status = 130,
     .err = {"Zápis parametrů zastaven\n"},
     .log = {"parametry  {port}" + kLog + "zastaveno\n"},
     .backup = true},
    {.name = "CtrlCBeforeTheFrameStopsAtOnce",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Different,
     .interrupts = {{-1, "Čtení parametrů…"}},
     .status = 130},
    {.name = "ASetFileRefusedSendsNothing",
     .args = {"--port", "{port}", "write", "{file}"},
     .file = TFile::Refused,
     .status = 2,
     .err = {"zov-q5r-cli: Soubor sada.q5r, řádek 2: neznámý název „Ded“\n"}},
    {.name = "ClearWithoutServiceMode",
     .args = {"monitor", "-o", "{out}", "--clear"},
     .receiver = false,
     .status = 2,
     .err = {"zov-q5r-cli: --clear is for the service mode only (--servis)\n"}},
    {.name = "AStdoutWhoseReaderHasGone",
     .args = {"ports"},
     .stdoutClosed = true,
     .status = 1,
     .err = {"zov-q5r-cli: standardní výstup nelze zapsat: "}},
};

// A case by its name in the tests' list.
void PrintTo(const TCase& c, std::ostream* os) { *os << c.name; }

class CliCommand : public ::testing::TestWithParam<TCase> {};

TEST_P(CliCommand, EndsAsItShould) {
  const TCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A port map entry whose adapter is unplugged.
  std::filesystem::create_directories(serial::PortMapDir());
  std::filesystem::remove(serial::PortMapDir() / "COM16");
  std::filesystem::create_symlink("/dev/zov-q5r-test-unplugged", serial::PortMapDir() / "COM16");

  std::unique_ptr<sim::Receiver> rx;
  if (c.receiver) {
    sim::Options o;
    o.pacing = false;
    o.resetOnStart = c.reset == TReset::OnStart;
    o.faults = c.faults;
    o.swapSerials = c.swaps;
    o.monitorLines = 20;
    rx = std::make_unique<sim::Receiver>(o);
    rx->Start();
    if (!c.replyToE.empty()) rx->SetCustomReply('e', c.replyToE);
  }
  const QString setFile = dir.filePath(QStringLiteral("sada.q5r"));
  if (c.file != TFile::None) {
    const TParamImage set = sim::Receiver::DefaultParams();
    params::TValues values = params::ValuesOfReadOut(set);
    if (c.file == TFile::Different) values.Dead = 99;
    QFile f(setFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.file == TFile::Refused ? "ZOV Q5r sada parametrů, verze 1\nDed = 99\n"
                                     : params::SetFileOf(values, set, false, "2026-12-10 14:15:03").c_str());
  }
  const std::string port = rx ? rx->PortName() : "COM1";
  const std::string out = dir.filePath(QStringLiteral("out.txt")).toStdString();
  const auto fill = [&](std::string s) {
    s = Replaced(s, "{port}", port);
    s = Replaced(s, "{device}", rx ? rx->DevicePath() : "");
    s = Replaced(s, "{file}", setFile.toStdString());
    return Replaced(s, "{out}", out);
  };

  QProcess client;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
  client.setProcessEnvironment(env);
  const QString stdoutPath = dir.filePath(QStringLiteral("stdout")), stderrPath = dir.filePath(QStringLiteral("stderr"));
  client.setStandardOutputFile(stdoutPath);
  client.setStandardErrorFile(stderrPath);
  int deadReader = -1;
  if (c.stdoutClosed) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[0]);
    deadReader = ends[1];
    client.setChildProcessModifier([deadReader] { ::dup2(deadReader, STDOUT_FILENO); });
  }
  QStringList args;
  for (const std::string& a : c.args) args << QString::fromStdString(fill(a));
  client.start(QStringLiteral(ZOV_CLI), args);
  ASSERT_TRUE(client.waitForStarted());
  if (deadReader >= 0) ::close(deadReader);
  const auto stderrHas = [&](const std::string& s) { return ReadFile(stderrPath).find(s) != std::string::npos; };

  if (c.reset == TReset::WhenAsked) {
    ASSERT_TRUE(Eventually([&] { return stderrHas("Stiskněte tlačítko reset"); }));
    rx->PressReset();
  }
  for (const TSignalAt& s : c.interrupts) {
    if (s.frameBytes >= 0) {
      ASSERT_TRUE(rx->WaitFor([&] { return FrameBytes(*rx) >= s.frameBytes; }, 120000));
    }
    ASSERT_TRUE(Eventually([&] { return stderrHas(s.stderrHas); })) << s.stderrHas;
    ::kill(static_cast<pid_t>(client.processId()), SIGINT);
  }
  ASSERT_TRUE(client.waitForFinished(240000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  const std::string stdoutText = ReadFile(stdoutPath), stderrText = ReadFile(stderrPath);
  EXPECT_EQ(client.exitCode(), c.status) << stderrText;
  for (const std::string& s : c.out) EXPECT_NE(stdoutText.find(fill(s)), std::string::npos) << fill(s) << "\n" << stdoutText;
  for (const std::string& s : c.err) EXPECT_NE(stderrText.find(fill(s)), std::string::npos) << fill(s) << "\n" << stderrText;
  // --json: every line of stdout is an object of its own.
  if (c.args.end() != std::find(c.args.begin(), c.args.end(), "--json")) {
    for (const QByteArray& line : QByteArray::fromStdString(stdoutText).split('\n'))
      EXPECT_TRUE(line.isEmpty() || QJsonDocument::fromJson(line).isObject()) << line.toStdString();
  }

  const std::string log = ReadFile(dir.filePath(QStringLiteral("data/zov-q5r/zapisy.log")));
  for (const std::string& s : c.log) EXPECT_NE(log.find(fill(s)), std::string::npos) << fill(s) << "\n" << log;
  EXPECT_TRUE(!c.log.empty() || log.empty()) << log;
  EXPECT_EQ(rx ? rx->FramesAccepted() : 0, c.frames);
  const QStringList backups = QDir(dir.filePath(QStringLiteral("data/zov-q5r/zalohy")))
                                  .entryList({QStringLiteral("prijimac-4660-*.q5r")}, QDir::Files);
  EXPECT_EQ(!backups.isEmpty(), c.backup) << backups.join(' ').toStdString();
  EXPECT_EQ(QFile::exists(QString::fromStdString(out)), c.outFile);
  const std::string outText = ReadFile(QString::fromStdString(out));
  for (const std::string& s : c.outHas) EXPECT_NE(outText.find(fill(s)), std::string::npos) << fill(s) << "\n" << outText;
  // A port error is told once.
  const auto errors = [&](const std::string& what) {
    int n = 0;
    for (std::size_t at = stderrText.find(what); at != std::string::npos; at = stderrText.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_LE(errors("win error code"), 1) << stderrText;
}

INSTANTIATE_TEST_SUITE_P(Cli, CliCommand, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TCase>& info) { return info.param.name; });

}  // namespace
