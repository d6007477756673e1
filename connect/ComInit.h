#pragma once
// The connection dialog: the port to use and the operator code, and the
// button that connects: it opens the port and shows the reset dialog, which
// logs in on the receiver.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "portselect/ComComboBox.h"
#include "ui/Form.h"

class TRcvInit;

class TComInit : public TForm {
  Q_OBJECT

 public:
  // rcvInit: the reset dialog that a connect shows.
  explicit TComInit(TRcvInit* rcvInit, QWidget* parent = nullptr);

  // Operator code 100 in its field, disabled unless the code is editable,
  // the receiver dialogs restricted, the focus on "Připojení přijímače".
  void FormActivate() override;
  // Whether each opening leaves the operator code's field enabled (off at
  // creation: the operator never changes the code).
  void SetOperatorCodeEditable(bool editable) { operatorCodeEditable_ = editable; }
  // Connect: check the operator code, close and reopen the port, take the
  // code and show the reset dialog.
  void Button2Click();
  void Button1Click();  // "Storno": closes the dialog, the port as it is

  QLabel* Label2;
  TComComboBox* ComComboBox1;  // bound to the main window's port, applied at once
  QLabel* Label1;
  QLineEdit* Usr;
  QPushButton* Button2;
  QPushButton* Button1;

 signals:
  // Each opening: the controls of the receiver dialogs that this program
  // keeps from the operator (the defaults button and the serial number of
  // the parameters, the monitor's clear button) are to be hidden or
  // disabled; nothing shows or enables them again.
  void RestrictReceiverDialogs();

 private:
  TRcvInit* rcvInit_;
  bool operatorCodeEditable_ = false;
};
