// Appending a 1 MiB monitor read-out to the receive text in 1-64 byte chunks:
// the way of rewriting the whole text at every append (concatenate, normalise
// everything received, store it whole) against TReceiveText's Append, on the
// same chunks, side by side.
//
// The receive text also keeps its displayed lines wrapped at the monitor
// memo's width while the whole-text way keeps no line index at all, so the
// ratio understates the gain.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

#include "link/ReceiveText.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A monitor-like text: numbered event lines of varying length, CR LF breaks.
std::string MonitorText(std::size_t size, std::mt19937& rng) {
  static const char* const kinds[] = {"poplach", "zkouska", "porucha napajeni", "konec", "tlacitko"};
  std::string text;
  for (unsigned n = 1; text.size() < size; ++n) {
    char line[160];
    auto r = [&](unsigned m) { return static_cast<unsigned>(rng() % m); };
    int len = std::snprintf(line, sizeof line, "%04u %02u.%02u.26 %02u:%02u:%02u adr %03u sk %c %s", n % 10000,
                            1 + r(28), 1 + r(12), r(24), r(60), r(60), r(256), static_cast<char>('A' + r(4)),
                            kinds[r(5)]);
    text.append(line, static_cast<std::size_t>(len));
    text.append(rng() % 40, ' ');
    text += "\r\n";
  }
  text.resize(size);
  return text;
}

}  // namespace

int main() {
  std::mt19937 rng(20260312);
  const std::string source = MonitorText(1u << 20, rng);
  std::vector<std::size_t> chunks;
  for (std::size_t p = 0; p < source.size(); p += chunks.back())
    chunks.push_back(std::min<std::size_t>(1 + rng() % 64, source.size() - p));

  // Whole-text rewrite at every append. The allocator keeps its memory (no
  // trimming, no mmap per buffer), so the baseline pays for copying and
  // normalising only, not for page faults.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // Since a CR LF pair split between two chunks is one break, the whole way
  // keeps what was received as it came and normalises all of it each time.
  std::string received;
  std::string stored;
  auto start = Clock::now();
  std::size_t p = 0;
  for (std::size_t len : chunks) {
    received.append(source, p, len);                // concatenate
    std::string normalised;
    NormalizeLineBreaks(received, normalised);      // normalise the whole
    stored = std::move(normalised);                 // store whole
    p += len;
  }
  const double naive = Since(start);

  // TReceiveText::Append, best of a few runs (one run takes milliseconds).
  double incremental = 1e300;
  for (int run = 0; run < 5; ++run) {
    TReceiveText text;
    text.SetWrapColumns(100);
    start = Clock::now();
    p = 0;
    for (std::size_t len : chunks) {
      text.Append(std::string_view(source).substr(p, len));
      p += len;
    }
    incremental = std::min(incremental, Since(start));
    if (text.Text() != stored) {
      std::fprintf(stderr, "bench_receive_append: the two ways disagree\n");
      return 1;
    }
  }

  std::fprintf(stderr, "receive-append: %zu chunks, whole-text rewrite %.3f s, Append %.6f s\n", chunks.size(),
               naive, incremental);
  std::printf("receive-append-speedup: %.0f (goal >= 100)\n", naive / incremental);
  return 0;
}
