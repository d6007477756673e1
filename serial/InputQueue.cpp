#include "serial/InputQueue.h"

#include <algorithm>
#include <cstring>

namespace {
// Taken bytes are dropped from the front once they are many and most of it.
constexpr size_t kCompactAfter = 65536;
}  // namespace

bool TInputQueue::SetSize(uint32_t size) {
  size_ = size ? size : kDefaultSize;
  return UpdateAbove80();
}

size_t TInputQueue::Intake(size_t wanted) const {
  if (!flowControlled_) return SIZE_MAX;
  return std::max(wanted, Room());
}

bool TInputQueue::Push(std::string_view bytes) {
  if (bytes.empty()) return false;
  bytes_.append(bytes);
  return UpdateAbove80();
}

TInputQueue::TTaken TInputQueue::Take(char* out, size_t n) {
  TTaken taken;
  taken.count = std::min(n, Count());
  if (taken.count == 0) return taken;
  taken.intakeAgain = flowControlled_ && Room() == 0;
  std::memcpy(out, bytes_.data() + head_, taken.count);
  head_ += taken.count;
  if (head_ == bytes_.size()) {
    bytes_.clear();
    head_ = 0;
    taken.emptied = true;
  } else if (head_ > kCompactAfter && head_ * 2 > bytes_.size()) {
    bytes_.erase(0, head_);
    head_ = 0;
  }
  UpdateAbove80();  // falling: never passes 80 % here
  return taken;
}

void TInputQueue::Clear() {
  bytes_.clear();
  head_ = 0;
  UpdateAbove80();
}

bool TInputQueue::UpdateAbove80() {
  const bool above = uint64_t{Count()} * 5 > uint64_t{size_} * 4;
  const bool passed = above && !above80_;
  above80_ = above;
  return passed;
}
