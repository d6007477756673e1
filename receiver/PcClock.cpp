#include "receiver/PcClock.h"

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

TPcClockWrite PlanPcClockWrite(const QDateTime& now, int secondsFieldAfterMs) {
  const qint64 earliest = now.toMSecsSinceEpoch() + secondsFieldAfterMs;
  const qint64 at = (earliest + 999) / 1000 * 1000;  // never before the second it carries
  TPcClockWrite w;
  w.HoldMs = static_cast<int>(at - earliest);
  w.At = now.addMSecs(at - now.toMSecsSinceEpoch());
  const QDate d = w.At.date();
  const QTime t = w.At.time();
  const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')).toStdString(); };
  w.Fields = {std::to_string(d.dayOfWeek() % 7), two(d.day()),    two(d.month()), two(d.year() % 100),
              two(t.hour()),                    two(t.minute()), two(t.second())};
  const std::vector<std::string>& f = w.Fields;
  w.Shown = {f[0], f[1] + "." + f[2] + "." + std::to_string(d.year()), f[4] + ":" + f[5] + ":" + f[6]};
  return w;
}

std::optional<std::string> PcClockRefusal(const TPcClockWrite& plan) {
  if (ClockInRange(plan.Shown)) return std::nullopt;
  return "Počítač má datum " + plan.At.date().toString(QStringLiteral("dd.MM.yyyy")).toStdString() + " (mimo roky " +
         std::to_string(kFirstYear) + " až " + std::to_string(kLastYear) +
         "). Hodiny přijímače nebyly zapsány; nejdřív opravte datum a čas počítače.";
}
