#pragma once
// The Linux device layer's input queue: every byte taken from the kernel,
// whoever takes it (the event wait, Read or ClearCommError), passes the
// input filter into this queue, so that no byte the filter drops ever
// reaches Read or is counted in InQue. No device here: bytes in, bytes out,
// and the two rules that hang on the queue's nominal size.
//
// - 80 % full: SetupComm's input size is the nominal size (0 keeps 4096).
//   EV_RX80FULL is raised when the queue passes 80 % of it, and again only
//   after it has been at 80 % or below in between.
// - Room for the kernel's bytes: without flow control nothing is held back
//   and nothing dropped, so the queue grows beyond its size. With XON/XOFF
//   input or CTS/RTS the queue takes from the kernel no more than fits, so
//   the kernel's buffer fills and the kernel holds the sender off; a reader
//   that wants more than fits still gets what it asks for.
// Internal to the serial component; its owner keeps it under its lock.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TInputQueue {
 public:
  static constexpr uint32_t kDefaultSize = 4096;

  // The nominal size; 0 keeps the default. True when the bytes already
  // queued pass 80 % of the new size (EV_RX80FULL).
  bool SetSize(uint32_t size);
  uint32_t Size() const { return size_; }
  void SetFlowControlled(bool on) { flowControlled_ = on; }
  bool FlowControlled() const { return flowControlled_; }

  size_t Count() const { return bytes_.size() - head_; }
  // Bytes until the nominal size; 0 at or past it.
  size_t Room() const { return Count() < size_ ? size_ - Count() : 0; }
  // How many bytes may be taken from the kernel now for a reader that wants
  // `wanted` of them (0: nobody reads, the bytes only join the queue).
  size_t Intake(size_t wanted = 0) const;
  // Whether the kernel's input is to be taken at all: not while a
  // flow-controlled queue is full.
  bool TakesInput() const { return !flowControlled_ || Room() > 0; }

  // Appends bytes (already filtered). True when the queue has just passed
  // 80 % of its size (EV_RX80FULL).
  bool Push(std::string_view bytes);

  struct TTaken {
    size_t count = 0;
    bool emptied = false;     // nothing left: nothing more to announce
    bool intakeAgain = false; // a flow-controlled queue was full: the kernel's input may be taken again
  };
  // Moves up to n bytes from the front into out.
  TTaken Take(char* out, size_t n);
  // Empties the queue (a purge).
  void Clear();

 private:
  bool UpdateAbove80();  // true when the queue has just passed 80 %

  std::string bytes_;
  size_t head_ = 0;  // bytes_ before head_ have been taken
  uint32_t size_ = kDefaultSize;
  bool flowControlled_ = false;
  bool above80_ = false;
};
