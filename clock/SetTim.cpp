#include "clock/SetTim.h"

#include <QLocale>
#include <string>

#include "link/Cp1250.h"
#include "receiver/ClockExchange.h"
#include "receiver/ClockRules.h"
#include "receiver/ClockWrite.h"
#include "receiver/PcClock.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialog.h"

namespace {

const char* const kReading = "Probíhá čtení hodin přijímače";
const char* const kReadFailed = "Chyba čtení hodin přijímače";
const char* const kWriting = "Probíhá zápis hodin přijímače";
const char* const kVerifying = "Probíhá ověření zápisu";
const char* const kWriteFailed = "Chyba zápisu hodin přijímače";
const char* const kVerified = "Hodiny přijímače zapsány a ověřeny";
const char* const kNotVerified = "Zápis hodin se nepodařilo ověřit";

TPanel* LabelPanel(QWidget* parent, const QString& text, int left, int top, int width, int height) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, width, height);
  p->SetCaption(text);
  return p;
}

TPanel* ClockPanel(QWidget* parent, const QString& text, int left, int top, int width) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, width, 25);
  p->SetColor(Qt::white);
  p->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  p->setFrameStyle(QFrame::Box | QFrame::Plain);
  p->setIndent(3);
  p->SetCaption(text);
  return p;
}

}  // namespace

TSetTim::TSetTim(QWidget* parent) : TForm(321, 369, parent) {
  SetCaption(QStringLiteral("Hodiny přijímače"));
  setFont(SansFont(13));

  Panel5 = new TPanel(this);
  SetBounds(Panel5, 8, 8, 304, 104);
  Panel5->SetColor(kBlue);

  GroupBox1 = new QGroupBox(QStringLiteral("   Hodiny PC   "), this);
  SetBounds(GroupBox1, 8, 120, 248, 128);
  LabelPanel(GroupBox1, QStringLiteral("Den v týdnu"), 8, 24, 136, 24);
  LabelPanel(GroupBox1, QStringLiteral("Datum (dd.mm.rrrr)"), 8, 56, 136, 24);
  LabelPanel(GroupBox1, QStringLiteral("Čas (hh:mm:ss)"), 8, 88, 136, 24);

  Panel3 = LabelPanel(this, QStringLiteral("Datum (dd.mm.rrrr)"), 16, 48, 137, 25);
  Panel6 = LabelPanel(this, QStringLiteral("Čas (hh:mm:ss)"), 16, 80, 137, 25);

  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button1, 168, 264, 144, 48);
  Button1->setFont(SansFont(17, true));
  Panel9 = new TPanel(this);
  SetBounds(Panel9, 8, 264, 144, 48);
  Panel9->SetColor(kRed);
  Button2 = new QPushButton(QStringLiteral("Zapsat"), Panel9);
  SetBounds(Button2, 9, 9, 128, 32);
  Button2->setFont(SansFont(17, true));
  // Below the two buttons, covering nothing: the computer's clock into the
  // receiver at once.
  Button3 = new QPushButton(QStringLiteral("Nastavit &podle PC"), this);
  SetBounds(Button3, 8, 320, 304, 36);
  Button3->setFont(SansFont(15, true));
  for (QPushButton* b : {Button1, Button2, Button3}) b->setAutoDefault(true);

  PCT = ClockPanel(this, QStringLiteral("PCT"), 160, 208, 81);
  // Day and month digits may be left blank, the year and the time digits
  // (but the first hour digit) are required; the separators are fixed.
  Dat = new TMaskEdit(QStringLiteral("00.00.9999"), this);
  SetBounds(Dat, 160, 48, 81, 24);
  Tim = new TMaskEdit(QStringLiteral("09:99:99"), this);
  SetBounds(Tim, 160, 80, 81, 24);
  PCD = ClockPanel(this, QStringLiteral("PCD"), 160, 176, 81);
  DOW = ClockPanel(this, QStringLiteral("DOW"), 160, 144, 33);

  Memo1 = new QPlainTextEdit(this);
  SetBounds(Memo1, 248, 16, 56, 89);
  Memo1->setReadOnly(true);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->document()->setDocumentMargin(1);
  Memo1->setPlainText(QStringLiteral(" Ne = 0\n Po = 1\n •••\n Pá = 5\n So = 6"));

  Dvt = new TEdit(this);
  SetBounds(Dvt, 160, 16, 49, 24);
  Dvt->setText(QStringLiteral("Dvt"));
  Panel2 = LabelPanel(this, QStringLiteral("Den v týdnu"), 16, 16, 137, 25);

  Read = new TPanel(this);
  SetBounds(Read, 8, 8, 304, 249);
  Read->setFont(SansFont(17, true));
  Read->hide();

  setTabOrder(Button1, Dvt);
  setTabOrder(Dvt, Dat);
  setTabOrder(Dat, Tim);
  setTabOrder(Tim, Button3);
  setTabOrder(Button3, Button2);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { Button3Click(); }); });
  // The exit handlers run through Guarded already.
  Dvt->OnExit = [this] { dvtExit(); };
  Dat->OnExit = [this] { DatExit(); };
  Tim->OnExit = [this] { TimExit(); };
  // "Storno" abandons whatever is being edited.
  for (TEdit* field : {static_cast<TEdit*>(Dvt), static_cast<TEdit*>(Dat), static_cast<TEdit*>(Tim)})
    field->SetCancelControl(Button1);

  // The computer's clock runs from now to the end of the program, shown or
  // not. Each tick aims just past the next whole second, so the seconds
  // shown change with the system clock's and timer drift never adds up.
  clock_ = [] { return QDateTime::currentDateTime(); };
  Timer1 = new QTimer(this);
  Timer1->setSingleShot(true);
  Timer1->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  Timer1->start(MsToNextSecond(clock_().time()));
}

void TSetTim::ShowStatus(const QColor& color, const QColor& fontColor, const QString& text) {
  Read->SetColor(color);
  Read->SetFontColor(fontColor);
  Read->SetCaption(text);
  Read->show();
  Read->raise();
}

void TSetTim::SetWriteEnabled(bool enabled) {
  Button3->setEnabled(enabled);
  Button2->setEnabled(enabled);
}

void TSetTim::SetWriteRunning(bool running) {
  // No button while the fields and the read-back go: a Storno pressed then
  // would close the dialog as the write ends, its outcome unseen.
  SetWriteEnabled(false);
  Button1->setEnabled(!running);
}

void TSetTim::FormActivate() {
  SetWriteRunning(false);  // a write of the last opening left Storno off
  SetActiveControl(Button1);
  ShowStatus(ButtonFaceColor(), Qt::black, QString::fromUtf8(kReading));
  std::optional<clock_exchange::TClockRead> read;
  try {
    read = clock_exchange::ReadClock();
  } catch (...) {
    // A port error ends the read; the error box shows it.
    ShowStatus(kRed, kWhite, QString::fromUtf8(kReadFailed));
    throw;
  }
  if (!read) {
    ShowStatus(kRed, kWhite, QString::fromUtf8(kReadFailed));
    return;
  }
  ShowFields(read->Reading);
  readAtOpening_ = read->Reading;
  SetWriteEnabled(true);
  Read->hide();
}

void TSetTim::ShowFields(const TClockReading& reading) {
  Dvt->setText(FromReceiver(reading.Dvt));
  Dat->setText(FromReceiver(reading.Dat));
  Tim->setText(FromReceiver(reading.Tim));
}

void TSetTim::Button1Click() { Close(); }

void TSetTim::Button2Click() {
  // A value refused on leaving its field is never written, however the
  // button was reached.
  for (TEdit* field : {static_cast<TEdit*>(Dvt), static_cast<TEdit*>(Dat), static_cast<TEdit*>(Tim)})
    if (!CheckField(field)) return;
  // The values as checked, whatever happens to the fields meanwhile.
  const TClockReading written{Dvt->text().toStdString(), Dat->EditText().toStdString(),
                              Tim->EditText().toStdString()};
  StartWrite();
  ShowWriteEnd(clock_exchange::WriteFields(written, readAtOpening_, [this] { ShowVerifying(); }));
}

void TSetTim::Button3Click() {
  StartWrite();
  ShowWriteEnd(clock_exchange::WritePcClock(
      clock_, readAtOpening_, [this](const TClockReading& written) { ShowFields(written); },
      [this] { ShowVerifying(); }));
}

void TSetTim::StartWrite() {
  SetWriteRunning(true);
  ShowStatus(kBlue, kWhite, QString::fromUtf8(kWriting));
}

void TSetTim::ShowVerifying() { ShowStatus(kBlue, kWhite, QString::fromUtf8(kVerifying)); }

void TSetTim::ShowWriteEnd(const clock_exchange::TClockWriteResult& result) {
  using writelog::TOutcome;
  if (result.Withheld) {
    // The computer's clock was not written (nothing went out, or only the
    // carriage return): the dialog as it was before, and the reason.
    Read->hide();
    SetWriteRunning(false);
    SetWriteEnabled(true);
    MessageDialog().ShowText(QString::fromStdString(*result.Withheld));
    return;
  }
  if (result.Outcome == TOutcome::Verified) {
    MessageDialog().ShowWith(QStringLiteral("OK"), kGreen, QString::fromUtf8(kVerified));
    Close();
    return;
  }
  // Storno is the way out; nothing more is sent.
  if (result.Outcome == TOutcome::Stopped)
    ShowStatus(kRed, kWhite, QString::fromUtf8(kWriteFailed));
  else
    ShowStatus(kRed, kWhite, QString::fromUtf8(kNotVerified) + QStringLiteral("\n\n") + QString::fromStdString(result.Why));
  SetWriteRunning(false);
  if (result.Error) std::rethrow_exception(result.Error);
}

void TSetTim::Timer1Timer() {
  const QDateTime now = clock_();
  Timer1->start(MsToNextSecond(now.time()));
  const TPcClockTexts texts = PcClockTexts(now, QLocale());
  DOW->SetCaption(texts.Dow);
  PCD->SetCaption(texts.Date);
  PCT->SetCaption(texts.Time);
}

bool TSetTim::InRange(TEdit* field) const {
  if (field == Dvt) return DayOfWeekInRange(Dvt->text().toStdString());
  if (field == Dat) return DateInRange(Dat->EditText().toStdString());
  return TimeInRange(Tim->EditText().toStdString());
}

bool TSetTim::CheckField(TEdit* field) {
  field->ValidateEdit();
  if (InRange(field)) return true;
  Refuse(field);
  return false;
}

void TSetTim::Refuse(TEdit* field) {
  // Back first, so a button pressed on the way out is let go unclicked.
  field->SetFocusBack();
  MessageDialog().ShowText(QStringLiteral("Nepovolený vstup"));
  field->SetFocusBack();
}

void TSetTim::dvtExit() {
  if (!InRange(Dvt)) Refuse(Dvt);
}

void TSetTim::DatExit() {
  if (!InRange(Dat)) Refuse(Dat);
}

void TSetTim::TimExit() {
  if (!InRange(Tim)) Refuse(Tim);
}
