#pragma once
// The reset dialog: asks the operator to reset the receiver and logs in on
// it once it answers. Its login timer sends a space every 500 ms until the
// password prompt has come; then the password and the operator code go out
// (link/Login.h), the main window's receiver buttons are enabled and both
// this dialog and the connection dialog under it close.
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "app/Controls.h"
#include "app/Form.h"

class TRcvInit : public TForm {
 public:
  explicit TRcvInit(QWidget* parent = nullptr);

  // Clears the receive text, starts polling, names the port, and shows the
  // instruction again (a failed login before may have left its red text).
  void FormActivate() override;
  void Timer1Timer();
  // "Storno": the receiver buttons off, this dialog closes, the port stays
  // open and the connection dialog under it stays.
  void Button1Click();
  void FormClose() override;  // no more polling, however the dialog closes

  TPanel* Panel1;
  QLabel* Info;
  QTextEdit* Memo1;
  TPanel* Panel2;
  QPushButton* Button1;
  QTimer* Timer1;  // the login timer, 500 ms
};
