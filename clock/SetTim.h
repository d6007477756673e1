#pragma once
// The clock dialog: the receiver's day of week, date and time in editable
// fields, with the computer's own clock below for reference.
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "ui/Controls.h"
#include "ui/Form.h"

class TSetTim : public TForm {
 public:
  explicit TSetTim(QWidget* parent = nullptr);

  TPanel* Panel5;
  QGroupBox* GroupBox1;
  TPanel* Panel3;
  TPanel* Panel6;
  QPushButton* Button1;
  TPanel* Panel9;
  QPushButton* Button2;  // inside Panel9
  TPanel* PCT;
  QLineEdit* Dat;
  QLineEdit* Tim;
  TPanel* PCD;
  TPanel* DOW;
  QPlainTextEdit* Memo1;
  QLineEdit* Dvt;
  TPanel* Panel2;
  TPanel* Read;
  QTimer* Timer1;  // refresh of the computer's clock, 1000 ms
};
