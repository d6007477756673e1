#pragma once
// What the Linux device layer does to received bytes before they join its
// input queue, for the settings termios has no word for. No device here:
// bytes in, bytes out.
// - DiscardNull: every NUL byte is dropped.
// - Error marks: with parity checked and a replacement character, the kernel
//   marks a byte received with a parity or framing error (or a break) as
//   0xFF 0x00 c, and a real 0xFF as 0xFF 0xFF (PARMRK). Each mark becomes
//   the replacement character, 0xFF 0xFF one 0xFF. A mark may be split
//   between two reads.
// - Event character: whether it was among the bytes kept (EV_RXFLAG).
// Internal to the serial component.
#include <cstddef>
#include <string>

struct TInputFilterSettings {
  bool discardNull = false;
  bool errorMarks = false;  // the kernel marks bad bytes (PARMRK)
  char errorChar = 0;       // what a marked byte becomes
  char eventChar = 0;
};

class TInputFilter {
 public:
  // New settings; switching the marks on or off drops a half-read mark.
  void Configure(const TInputFilterSettings& settings);
  // Forgets a half-read mark (the input was emptied).
  void Reset() { markState_ = 0; }
  // Appends what the bytes leave to out; true when the event character is
  // among them.
  bool Filter(const unsigned char* bytes, size_t n, std::string& out);

 private:
  bool Put(unsigned char c, std::string& out);  // true: it is the event character

  TInputFilterSettings settings_;
  int markState_ = 0;  // 0: none, 1: after 0xFF, 2: after 0xFF 0x00
};
