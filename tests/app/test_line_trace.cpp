// The line trace (zov-q5r --trace FILE) against the simulated receiver: a
// login and a parameter read-out are in it byte for byte as the receiver got
// and sent them, between the port's opening and closing, with the errors
// shown, after what the file held before.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

#include "DialogTest.h"
#include "ProgramInfo.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "link/Channel.h"
#include "params/Parametry.h"
#include "portmap/PortMap.h"
#include "serial/ComPort.h"
#include "sim/Receiver.h"

namespace {

// The file read back: the bytes of its TX and its RX lines, and every other
// line without its time.
struct TTraceRead {
  std::string tx, rx;
  QStringList other;
};

TTraceRead ReadTrace(const QString& path) {
  static const QRegularExpression data(
      QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (TX|RX)((?: [0-9A-F]{2})+) \\|.*\\|$"));
  TTraceRead read;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return read;
  for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const auto m = data.match(line);
    if (!m.hasMatch()) {
      read.other << line.mid(13);
      continue;
    }
    std::string& bytes = m.captured(1) == QStringLiteral("TX") ? read.tx : read.rx;
    for (const QString& hex : m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
      bytes += static_cast<char>(hex.toInt(nullptr, 16));
  }
  return read;
}

TEST(LineTrace, HoldsALoginAndAReadOutByteForByteAsTheReceiverSawThem) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("trace.log"));
  QFile earlier(path);
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("12:00:00.000 # an earlier run\n") > 0);
  earlier.close();
  sim::Options o;
  o.pacing = false;
  o.resetOnStart = true;
  sim::Receiver rx(o);
  rx.Start();
  TStartOptions options;
  options.trace = trace::TTraceFile::Open(path.toStdString(), nullptr);
  ASSERT_TRUE(options.trace);
  CreateForms(options);
  ZOV->ComPort1->SetPort(rx.PortName());

  auto connectWith = [](const char* code) {
    return [code] {
      ComInit->Usr->setText(QString::fromLatin1(code));
      ComInit->Button2->click();
    };
  };
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, connectWith("0"))
      .Then("the message dialog's error", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); })
      .Then("back", [] { return ActiveModal() == ComInit; }, connectWith("1x"))
      .Then("the error box", [] { return !MessageBoxText().isEmpty(); }, PressMessageBoxOk)
      .Then("back again", [] { return ActiveModal() == ComInit; }, connectWith("100"))
      .Then("the login's report", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); })
      .Then("the read-out", [] { return ActiveModal() == Parametry && Parametry->Running(); },
            [] { Parametry->Button2->click(); });
  const bool ran = s.Run([] {
    ZOV->ComIni->click();
    ZOV->Params->click();
  }, 60000);
  // Everything each side sent has arrived at the other.
  const bool rxIn = WaitUntil([&] { return ReadTrace(path).rx.size() >= rx.SentText().size(); });
  const bool txIn = rx.WaitFor([&] { return rx.ReceivedText().size() >= ReadTrace(path).tx.size(); }, 5000);
  DestroyForms();  // closes the port
  ASSERT_TRUE(ran && rxIn && txIn) << ran << rxIn << txIn;

  TTraceRead t = ReadTrace(path);
  EXPECT_EQ(t.tx, rx.ReceivedText());
  EXPECT_EQ(t.rx, rx.SentText());
  // The date first, and again should midnight pass meanwhile.
  static const QRegularExpression date(QStringLiteral("^# date \\d{4}-\\d\\d-\\d\\d, UTC offset [+-]\\d{4}$"));
  ASSERT_GT(t.other.size(), 1);
  EXPECT_TRUE(date.match(t.other[1]).hasMatch()) << t.other[1].toStdString();
  t.other.removeIf([](const QString& line) { return date.match(line).hasMatch(); });
  ASSERT_EQ(t.other.size(), 6) << t.other.join('\n').toStdString();
  EXPECT_EQ(t.other.takeAt(1), QStringLiteral("# zov-q5r " ZOV_VERSION ", trace started"));
  const QString port = QString::fromStdString("# port " + rx.PortName() + " (" + rx.DevicePath() + ")");
  EXPECT_EQ(t.other, (QStringList{QStringLiteral("# an earlier run"), QStringLiteral("# error: Nepovolený vstup"),
                                  QStringLiteral("# error: '1x' is not a valid integer value"),
                                  port + QStringLiteral(" opened"), port + QStringLiteral(" closed")}));
}

// A trace shown on a terminal that turns out to be the receiver's line (the
// port opens the trace's own device) stops before a line of it reaches the
// line, and says so once.
TEST(LineTrace, StopsBeforeALineReachesThePortsOwnDevice) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  TStartOptions options;
  std::string why;
  options.trace = trace::TTraceFile::Open(device, &why);
  ASSERT_TRUE(options.trace) << why;
  trace::TTraceFile& file = *options.trace;
  std::vector<std::string> reports;
  file.SetReporter([&](const std::string& message) { reports.push_back(message); });
  const auto readMaster = [master] {
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) got.append(buf, std::size_t(n));
    return got;
  };
  CreateForms(options);
  std::string before;
  EXPECT_TRUE(WaitUntil([&] { return (before += readMaster()).find("trace started") != std::string::npos; }));
  const int number = serial::PublishFirstFreePort(device);
  ASSERT_GT(number, 0);
  const std::string name = "COM" + std::to_string(number);
  ZOV->ComPort1->SetPort(name);
  ZOV->ComPort1->OpenPort();
  const bool stopped = file.Stopped();
  Channel().Port().SendText("e");  // the port's own byte, which the trace would note
  std::string after;
  EXPECT_TRUE(WaitUntil([&] { return (after += readMaster()).find('e') != std::string::npos; }));
  DestroyForms();
  serial::UnpublishPort(number);
  ::close(master);
  EXPECT_TRUE(stopped);
  EXPECT_EQ(after, "e");
  EXPECT_EQ(reports, std::vector<std::string>{"zov-q5r: tracing stops, the port " + name +
                                              " has opened the trace's own device " + device +
                                              ", and the trace must not write to a serial port"});
}

}  // namespace
