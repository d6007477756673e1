#pragma once
// The computer's clock as the clock dialog shows it beside the receiver's:
// the day of week as the receiver counts it (Sunday 0 .. Saturday 6), the
// date in the locale's short format and the time in the locale's long
// format, seconds included, without the time-zone name.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>
#include <string>
#include <vector>

#include "receiver/ClockRules.h"

struct TPcClockTexts {
  QString Dow;
  QString Date;
  QString Time;
};

TPcClockTexts PcClockTexts(const QDateTime& now, const QLocale& locale);

// A time format without its time-zone name: unquoted "t" taken out with the
// blank and the empty brackets around it ("H:mm:ss t" -> "H:mm:ss",
// "t HH:mm:ss" -> "HH:mm:ss", "H:mm:ss (t)" -> "H:mm:ss").
QString TimeFormatWithoutZone(const QString& format);

// Milliseconds from now to just after the next whole second, so a display
// refreshed then shows the new second at once.
int MsToNextSecond(const QTime& now);

// Setting the receiver's clock from the computer's: the seconds field is to go
// out just after the whole second it carries, and every field is computed for
// that one moment, so a minute or a midnight turning during the write cannot
// tear the time apart.
struct TPcClockWrite {
  int HoldMs = 0;                   // the wait before "s", 0..999
  QDateTime At;                     // the moment the fields carry, a whole second
  std::vector<std::string> Fields;  // day of week (Sunday 0, one digit), then dd mm yy hh mm ss
  TClockReading Shown;              // the same as the dialog's fields show it ("3", "09.12.2026", ...)
};
// now: the computer's clock when "s" could go out; secondsFieldAfterMs: how
// long after "s" the seconds field goes out. At is the first whole second
// that the seconds field can reach.
TPcClockWrite PlanPcClockWrite(const QDateTime& now, int secondsFieldAfterMs);

// The computer's clock passes the checks a write from the fields passes
// (ClockInRange); a computer whose clock stands in 1970 (a flat CMOS battery)
// or past 2099 would give the receiver a year it cannot hold. Nothing when
// the plan may go out, otherwise the message for the operator, naming the
// computer's date.
std::optional<std::string> PcClockRefusal(const TPcClockWrite& plan);
