// Receive latency: from a byte written on the far (master) side of a
// pseudo-terminal to OnRxChar running on the GUI thread, divided by
// QSerialPort's readyRead latency on a pseudo-terminal of its own. The two
// are sampled alternately in one run, each from an idle GUI thread waiting
// in its event loop, as the program waits in its delay.
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "serial/ComPort.h"
#include "serial/PortMap.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 300;

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  Pty() {
    char name[256];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
      std::perror("openpty");
      std::exit(1);
    }
    path = name;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

// One sample: after a short idle pause, writes a byte to master and runs the
// event loop until *arrived holds; returns the microseconds from the write
// to the arrival time stamped by the receiving handler.
double Sample(int master, Clock::time_point& arrivedAt, bool& arrived, QEventLoop& loop) {
  arrived = false;
  Clock::time_point sentAt;
  QTimer::singleShot(2, Qt::PreciseTimer, [&] {
    sentAt = Clock::now();
    const char byte = 'x';
    if (::write(master, &byte, 1) != 1) std::perror("write");
  });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, [&] { loop.quit(); });
  guard.start(2000);
  loop.exec();
  if (!arrived) {
    std::fprintf(stderr, "bench_rx_latency: a byte did not arrive within 2 s\n");
    std::exit(1);
  }
  return std::chrono::duration<double, std::micro>(arrivedAt - sentAt).count();
}

}  // namespace

int main(int argc, char** argv) {
  // A port map of our own.
  char tmpl[] = "/tmp/zov-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  ::setenv("XDG_CONFIG_HOME", tmpl, 1);
  QCoreApplication app(argc, argv);

  Pty ours, theirs;
  serial::PublishPort(1, ours.path);

  QEventLoop loop;
  bool arrived = false;
  Clock::time_point arrivedAt;

  TComPort port;  // the program's configuration
  port.SetPort("COM1");
  port.SetDiscardNull(true);
  port.SetEvents({evRxChar, evRing});
  port.OnRxChar = [&](QObject*, int count) {
    arrivedAt = Clock::now();
    std::string s;
    port.ReceiveText(s, count);
    arrived = true;
    loop.quit();
  };
  try {
    port.OpenPort();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_rx_latency: %s\n", e.what());
    return 1;
  }

  QSerialPort qsp;
  qsp.setPortName(QString::fromStdString(theirs.path));
  qsp.setBaudRate(9600);
  if (!qsp.open(QIODevice::ReadWrite)) {
    std::fprintf(stderr, "bench_rx_latency: QSerialPort: %s\n", qPrintable(qsp.errorString()));
    return 1;
  }
  QObject::connect(&qsp, &QSerialPort::readyRead, [&] {
    arrivedAt = Clock::now();
    qsp.readAll();
    arrived = true;
    loop.quit();
  });

  // Warm up both paths, then sample them alternately.
  for (int i = 0; i < 20; ++i) {
    Sample(ours.master, arrivedAt, arrived, loop);
    Sample(theirs.master, arrivedAt, arrived, loop);
  }
  std::vector<double> a, b;
  for (int i = 0; i < kSamples; ++i) {
    if (i % 2 == 0) {
      a.push_back(Sample(ours.master, arrivedAt, arrived, loop));
      b.push_back(Sample(theirs.master, arrivedAt, arrived, loop));
    } else {
      b.push_back(Sample(theirs.master, arrivedAt, arrived, loop));
      a.push_back(Sample(ours.master, arrivedAt, arrived, loop));
    }
  }
  port.ClosePort();
  qsp.close();
  serial::UnpublishPort(1);
  std::filesystem::remove_all(tmpl);

  const double a50 = Percentile(a, 0.50), b50 = Percentile(b, 0.50);
  const double a99 = Percentile(a, 0.99), b99 = Percentile(b, 0.99);
  std::fprintf(stderr, "rx latency us: TComPort p50 %.1f p99 %.1f, QSerialPort p50 %.1f p99 %.1f\n", a50, a99, b50,
               b99);
  std::printf("rx-latency-ratio-p50: %.2f (goal <= 1.0)\n", a50 / b50);
  std::printf("rx-latency-ratio-p99: %.2f (goal <= 1.0)\n", a99 / b99);
  return 0;
}
