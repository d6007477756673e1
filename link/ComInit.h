#pragma once
// The connection dialog: the port to use and the operator code, and the
// button that connects.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Form.h"
#include "serial/ComComboBox.h"

class TComInit : public TForm {
 public:
  explicit TComInit(QWidget* parent = nullptr);

  void Button1Click();  // "Storno": closes the dialog, the port as it is

  QLabel* Label2;
  TComComboBox* ComComboBox1;  // bound to ZOV->ComPort1's Port, applied at once
  QLabel* Label1;
  QLineEdit* Usr;
  QPushButton* Button2;
  QPushButton* Button1;
};
