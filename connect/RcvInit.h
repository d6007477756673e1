#pragma once
// The reset dialog: asks the operator to reset the receiver and logs in on
// it once it answers. Its login timer sends a space every 500 ms until the
// password prompt has come; then the password and the operator code go out
// (link/Login.h), the receiver buttons are enabled and both this dialog and
// the connection dialog under it close. What it changes in the main window
// it signals; the program wires that up.
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "ui/Controls.h"
#include "ui/Form.h"

class TRcvInit : public TForm {
  Q_OBJECT

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

 private:
  // The login has failed (no operator prompt, or the port): polling stops,
  // the panel turns red with "Při čtení parametrů došlo k chybě".
  void ShowLoginFailed();

 signals:
  // The login has completed: the receiver buttons are to be enabled
  // ("Parametry přijímače", then "Monitor přijímače", then "Hodiny
  // přijímače"); this dialog and the connection dialog are closing.
  void LoggedIn();
  // The operator has seen the success message: "Parametry přijímače" is to
  // have the focus in the main window.
  void LoginReported();
  // "Storno": the receiver buttons are to be disabled ("Parametry
  // přijímače", "Hodiny přijímače", "Monitor přijímače") and "Připojení
  // přijímače" enabled.
  void ResetCancelled();
};
