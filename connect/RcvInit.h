#pragma once
// The reset dialog: asks the operator to reset the receiver and logs in on
// it once it answers. Its login timer sends a space every 500 ms until the
// password prompt has come; then the password and the operator code go out
// (link/Login.h), and once the receiver's command prompt confirms the login
// the receiver buttons are enabled and both this dialog and the connection
// dialog under it close. A login the prompt does not confirm says so in red
// and polls again. What it changes in the main window
// it signals; the program wires that up.
#include <QElapsedTimer>
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

  // Clears the receive text, starts polling, names the port, counts the
  // seconds it waits, and shows the instruction again (a failed login
  // before may have left its red text).
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
  QLabel* Cekani;  // "Čekám 12 s": the seconds since the polling began
  QPushButton* Button1;
  QTimer* Timer1;  // the login timer, 500 ms

 private:
  // The login has failed: polling stops, the panel turns red with text
  // ("Při čtení parametrů došlo k chybě" when there is none: no operator
  // prompt, or the port).
  void ShowLoginFailed(const char* text = nullptr);
  // Polling from now on, the seconds counted from now.
  void StartPolling();
  void ShowWaiting();

  QElapsedTimer waiting_;

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
