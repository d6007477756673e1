// The line trace (zov-q5r --trace FILE) against the simulated receiver: a
// login and a parameter read-out are in it byte for byte as the receiver got
// and sent them, between the port's opening and closing, with the errors
// shown, after what the file held before.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "DialogTest.h"
#include "ProgramInfo.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "params/Parametry.h"
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
  ASSERT_EQ(t.other.size(), 6) << t.other.join('\n').toStdString();
  EXPECT_TRUE(t.other.takeAt(1).startsWith(QStringLiteral("# zov-q5r " ZOV_VERSION ", trace started on ")));
  const QString port = QString::fromStdString("# port " + rx.PortName() + " (" + rx.DevicePath() + ")");
  EXPECT_EQ(t.other, (QStringList{QStringLiteral("# an earlier run"), QStringLiteral("# error: Nepovolený vstup"),
                                  QStringLiteral("# error: '1x' is not a valid integer value"),
                                  port + QStringLiteral(" opened"), port + QStringLiteral(" closed")}));
}

}  // namespace
