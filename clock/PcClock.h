#pragma once
// The computer's clock as the clock dialog shows it beside the receiver's:
// the day of week as the receiver counts it (Sunday 0 .. Saturday 6), the
// date in the locale's short format and the time in the locale's long
// format, seconds included, without the time-zone name.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

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
