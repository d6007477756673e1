#pragma once
// The clock dialog: the receiver's day of week, date and time in editable
// fields, with the computer's own clock below for reference.
//
// Each opening reads the receiver's clock ("\r" and the prompt, then "t");
// "Zapsat" writes the three fields back ("\r" and the prompt, "s", seven
// strings 500 ms apart), "Nastavit podle PC" writes the computer's clock the
// same way; after either, the receiver's clock is read back, and only when it
// holds what was written does "Hodiny přijímače zapsány a ověřeny" come and
// the dialog close. "Storno" closes without sending. The fields are
// range-checked when the operator leaves them (not toward Storno), and again
// before a write, so no refused value reaches the receiver. The computer's
// clock ticks on every whole second for the whole life of the program.
#include <QDateTime>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "receiver/ClockRules.h"
#include "receiver/ClockWrite.h"

#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/MaskEdit.h"

class TSetTim : public TForm {
 public:
  explicit TSetTim(QWidget* parent = nullptr);

  // Reads the receiver's clock into Dvt, Dat and Tim.
  void FormActivate() override;
  void Button1Click();  // "Storno"
  void Button2Click();  // "Zapsat"
  // "Nastavit podle PC": the computer's date and time for the moment the
  // seconds field goes out ("s" held back up to a second for it), shown in
  // the fields, written and read back. A computer's date that the fields
  // would refuse (a year outside 2000..2099) is named in the message dialog
  // instead, and nothing is sent.
  void Button3Click();
  // The computer's clock into DOW, PCD and PCT, then on to the next second.
  void Timer1Timer();
  void dvtExit();
  void DatExit();
  void TimExit();

  // Where the computer's clock is read (the system clock unless replaced).
  void SetClockSource(std::function<QDateTime()> source) { clock_ = std::move(source); }

  TPanel* Panel5;
  QGroupBox* GroupBox1;
  TPanel* Panel3;
  TPanel* Panel6;
  QPushButton* Button1;
  TPanel* Panel9;
  QPushButton* Button2;  // inside Panel9
  QPushButton* Button3;  // "Nastavit podle PC", enabled exactly when "Zapsat" is
  TPanel* PCT;
  TMaskEdit* Dat;
  TMaskEdit* Tim;
  TPanel* PCD;
  TPanel* DOW;
  QPlainTextEdit* Memo1;
  TEdit* Dvt;
  TPanel* Panel2;
  TPanel* Read;
  QTimer* Timer1;  // refresh of the computer's clock, every second

 private:
  void ShowStatus(const QColor& color, const QColor& fontColor, const QString& text);
  void SetWriteEnabled(bool enabled);
  // Every button off while a write and its read-back run; Storno back on
  // when it has ended.
  void SetWriteRunning(bool running);
  void ShowFields(const TClockReading& reading);
  // Every button off, the status blue with the writing text.
  void StartWrite();
  void ShowVerifying();
  // What came of a write: the success message and the dialog closed, the
  // red failure text ("Chyba zápisu hodin přijímače" when it stopped, "Zápis
  // hodin se nepodařilo ověřit" and why when the read-back did not hold), or
  // the computer's clock refused, the dialog as it was.
  void ShowWriteEnd(const clock_exchange::TClockWriteResult& result);
  bool InRange(TEdit* field) const;
  // The edit's own test, then the range check; false after the refusal.
  bool CheckField(TEdit* field);
  // "Nepovolený vstup", and the focus back into the field.
  void Refuse(TEdit* field);

  std::function<QDateTime()> clock_;
  TClockReading readAtOpening_;  // the receiver's clock as the last opening read it
};
