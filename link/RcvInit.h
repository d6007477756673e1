#pragma once
// The reset dialog: asks the operator to reset the receiver and logs in on
// it once it answers.
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "app/Controls.h"
#include "app/Form.h"

class TRcvInit : public TForm {
 public:
  explicit TRcvInit(QWidget* parent = nullptr);

  TPanel* Panel1;
  QLabel* Info;
  QTextEdit* Memo1;
  TPanel* Panel2;
  QPushButton* Button1;
  QTimer* Timer1;  // the login timer, 500 ms
};
