#pragma once
// The clock dialog: the receiver's day of week, date and time in editable
// fields, with the computer's own clock below for reference.
//
// Each opening reads the receiver's clock ("\r" and the prompt, then "t");
// "Zapsat" writes the three fields back ("\r" and the prompt, "s", seven
// strings 500 ms apart) and closes; "Storno" closes without sending. The
// fields are range-checked when the operator leaves them, and again before a
// write, so no refused value reaches the receiver. The computer's clock
// ticks on every whole second for the whole life of the program.
#include <QDateTime>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

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
  bool InRange(TEdit* field) const;
  // The edit's own test, then the range check; false after the refusal.
  bool CheckField(TEdit* field);
  // "Nepovolený vstup", and the focus back into the field.
  void Refuse(TEdit* field);

  std::function<QDateTime()> clock_;
};
