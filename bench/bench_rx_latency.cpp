// Receive latency: from a byte written on the far (master) side of a
// pseudo-terminal to OnRxChar running on the GUI thread, divided by
// QSerialPort's readyRead latency on a pseudo-terminal of its own. A guard
// against regressions, not a race: a byte wakes the event thread, which
// hands the notification to the GUI thread, two thread wake-ups against
// QSerialPort's one, so the goals leave room for that (at 9600 baud a byte
// takes 1042 us on the wire, far above either). The two
// are sampled alternately in one run; the far side is a thread of its own
// and each byte finds the GUI thread idle in its event loop, as the program
// waits in its delay. The far side and the GUI thread are pinned to two
// different CPUs (when there are two): on a virtual machine the scheduler's
// choice of CPU moves a wake-up by tens of microseconds, and unpinned that
// choice falls unevenly on the two sides within a run.
#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pthread.h>
#include <random>
#include <pty.h>
#include <sched.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "serial/ComPort.h"
#include "portmap/PortMap.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 5000;  // per side

// Pins the calling thread to the n-th CPU it may run on; nothing when there
// is no such CPU.
void PinToNthCpu(int n) {
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed) || n-- > 0) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ::pthread_setaffinity_np(::pthread_self(), sizeof one, &one);
    return;
  }
}

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

// The far side: a thread of its own that writes one byte to a master when
// asked, after a short pause, so that the GUI thread is idle in its event
// loop when the byte comes, as the program waits for the receiver.
class FarSide {
 public:
  FarSide() : thread_([this] { Run(); }) {}
  ~FarSide() {
    {
      std::lock_guard l(m_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void SendAfterPause(int master) {
    std::lock_guard l(m_);
    master_ = master;
    cv_.notify_all();
  }
  Clock::time_point SentAt() {
    std::lock_guard l(m_);
    return sentAt_;
  }

 private:
  void Run() {
    PinToNthCpu(0);
    std::unique_lock l(m_);
    for (;;) {
      cv_.wait(l, [&] { return quit_ || master_ >= 0; });
      if (quit_) return;
      const int fd = master_;
      master_ = -1;
      l.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      l.lock();
      sentAt_ = Clock::now();  // stamped before the write, read after the arrival
      l.unlock();
      const char byte = 'x';
      if (::write(fd, &byte, 1) != 1) std::perror("write");
      l.lock();
    }
  }
  std::mutex m_;
  std::condition_variable cv_;
  int master_ = -1;
  bool quit_ = false;
  Clock::time_point sentAt_;
  std::thread thread_;
};

// One sample: the far side writes a byte to master while the GUI thread
// runs its event loop until the receiving handler has stamped the arrival;
// returns the microseconds between the two.
double Sample(FarSide& far, int master, Clock::time_point& arrivedAt, bool& arrived, QEventLoop& loop) {
  arrived = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, [&] { loop.quit(); });
  guard.start(2000);
  far.SendAfterPause(master);
  loop.exec();
  if (!arrived) {
    std::fprintf(stderr, "bench_rx_latency: a byte did not arrive within 2 s\n");
    std::exit(1);
  }
  return std::chrono::duration<double, std::micro>(arrivedAt - far.SentAt()).count();
}

// How far the ratio of two percentiles moves with the luck of the draw: a
// bootstrap over both sets of samples.
struct Interval {
  double low, high;
};
Interval RatioInterval(const std::vector<double>& a, const std::vector<double>& b, double p) {
  std::mt19937 rng(20261209);
  std::vector<double> ratios, ra(a.size()), rb(b.size());
  for (int k = 0; k < 1000; ++k) {
    for (double& x : ra) x = a[rng() % a.size()];
    for (double& x : rb) x = b[rng() % b.size()];
    ratios.push_back(Percentile(ra, p) / Percentile(rb, p));
  }
  std::sort(ratios.begin(), ratios.end());
  return {ratios[25], ratios[974]};
}

}  // namespace

int main(int argc, char** argv) {
  // A port map of our own.
  char tmpl[] = "/tmp/zov-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  ::setenv("XDG_CONFIG_HOME", tmpl, 1);
  PinToNthCpu(1);  // the GUI thread (and the threads it starts)
  QCoreApplication app(argc, argv);

  // Two rounds, the two pseudo-terminals swapping sides in between, so that
  // whatever tells one terminal from the other cancels out.
  Pty pty[2];
  FarSide far;
  QEventLoop loop;
  bool arrived = false;
  Clock::time_point arrivedAt;
  std::vector<double> a, b;  // ours, theirs
  for (int round = 0; round < 2; ++round) {
    Pty& mine = pty[round];
    Pty& other = pty[1 - round];
    serial::PublishPort(1, mine.path);

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
    qsp.setPortName(QString::fromStdString(other.path));
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
      Sample(far, mine.master, arrivedAt, arrived, loop);
      Sample(far, other.master, arrivedAt, arrived, loop);
    }
    for (int i = 0; i < kSamples / 2; ++i) {
      if (i % 2 == 0) {
        a.push_back(Sample(far, mine.master, arrivedAt, arrived, loop));
        b.push_back(Sample(far, other.master, arrivedAt, arrived, loop));
      } else {
        b.push_back(Sample(far, other.master, arrivedAt, arrived, loop));
        a.push_back(Sample(far, mine.master, arrivedAt, arrived, loop));
      }
    }
    port.ClosePort();
    qsp.close();
    serial::UnpublishPort(1);
  }
  std::filesystem::remove_all(tmpl);

  const double a50 = Percentile(a, 0.50), b50 = Percentile(b, 0.50);
  const double a99 = Percentile(a, 0.99), b99 = Percentile(b, 0.99);
  std::fprintf(stderr, "rx latency us: TComPort p50 %.1f p99 %.1f, QSerialPort p50 %.1f p99 %.1f\n", a50, a99, b50,
               b99);
  const Interval i50 = RatioInterval(a, b, 0.50), i99 = RatioInterval(a, b, 0.99);
  std::printf("rx-latency-ratio-p50: %.2f (goal <= 2.5; 95%% interval %.2f-%.2f)\n", a50 / b50, i50.low, i50.high);
  std::printf("rx-latency-ratio-p99: %.2f (goal <= 3.0; 95%% interval %.2f-%.2f)\n", a99 / b99, i99.low, i99.high);
  return 0;
}
