#include "clock/PcClock.h"

namespace {
// A timer is never early, but the system clock and the timer's clock may
// differ by a little: land safely past the second.
constexpr int kPastTheSecondMs = 5;
}  // namespace

TPcClockTexts PcClockTexts(const QDateTime& now, const QLocale& locale) {
  TPcClockTexts t;
  t.Dow = QString::number(now.date().dayOfWeek() % 7);  // Qt counts Monday 1 .. Sunday 7
  t.Date = locale.toString(now.date(), QLocale::ShortFormat);
  t.Time = locale.toString(now.time(), TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
  return t;
}

QString TimeFormatWithoutZone(const QString& format) {
  QString out;
  bool quoted = false;
  qsizetype i = 0;
  const qsizetype n = format.size();
  while (i < n) {
    const QChar c = format[i];
    if (c == QLatin1Char('\'')) quoted = !quoted;  // '' inside or outside toggles twice
    if (quoted || c != QLatin1Char('t')) {
      out += c;
      ++i;
      continue;
    }
    while (i < n && format[i] == QLatin1Char('t')) ++i;
    if (!out.isEmpty() && (out.back() == QLatin1Char('(') || out.back() == QLatin1Char('[')) && i < n &&
        (format[i] == QLatin1Char(')') || format[i] == QLatin1Char(']'))) {
      out.chop(1);
      ++i;
    }
    if (!out.isEmpty() && out.back().isSpace())
      out.chop(1);
    else if (i < n && format[i].isSpace())
      ++i;
  }
  return out.trimmed();
}

int MsToNextSecond(const QTime& now) { return 1000 - now.msec() + kPastTheSecondMs; }
