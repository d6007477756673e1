#pragma once
// When a read or a write of the Linux device layer gives up, by the device's
// timeouts (serial/ComDevice.h, with the meaning of the Windows
// COMMTIMEOUTS the component is written against). Pure functions: no clock
// is read here, the caller passes its moments in.
//
// A read of n bytes:
// - interval MAXDWORD and both totals 0: returns at once with what is
//   queued, possibly nothing;
// - interval and multiplier MAXDWORD, a constant between them: the first
//   bytes end it, or the constant does;
// - otherwise it waits for all n bytes, bounded by the total (multiplier x
//   n + constant, when either is set) and, once a byte has come, by the
//   interval after the latest byte (when it is neither 0 nor MAXDWORD).
// A write of n bytes is bounded by multiplier x n + constant when either is
// set. Totals beyond a hundred days count as no limit.
// Internal to the serial component.
#include <chrono>
#include <cstdint>
#include <optional>

#include "serial/ComDevice.h"

using TIoClock = std::chrono::steady_clock;

struct TReadLimits {
  bool atOnce = false;         // never waits
  bool firstBytesEnd = false;  // the first bytes that come end it
  std::optional<std::chrono::milliseconds> total;     // from the read's start
  std::optional<std::chrono::milliseconds> interval;  // the longest silence after a byte

  // Whether a read that has got `got` of its n bytes is over (the deadline
  // aside).
  bool Done(uint32_t got, uint32_t n) const { return got == n || atOnce || (firstBytesEnd && got > 0); }
};

TReadLimits ReadLimits(const TCommTimeouts& timeouts, uint32_t n);

// The moment a read that started at start gives up waiting for more: the
// total, or the interval after the latest byte (lastByte, when one has
// come), whichever comes first; none: it waits on.
std::optional<TIoClock::time_point> ReadDeadline(const TReadLimits& limits, TIoClock::time_point start,
                                                 std::optional<TIoClock::time_point> lastByte);

// How long a write of n bytes may take; none: no limit.
std::optional<std::chrono::milliseconds> WriteLimit(const TCommTimeouts& timeouts, uint32_t n);
