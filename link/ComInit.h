#pragma once
// The connection dialog: the port to use and the operator code, and the
// button that connects.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Form.h"

class TComInit : public TForm {
 public:
  explicit TComInit(QWidget* parent = nullptr);

  void Button1Click();  // "Storno": closes the dialog, the port as it is

  QLabel* Label2;
  QComboBox* ComComboBox1;
  QLabel* Label1;
  QLineEdit* Usr;
  QPushButton* Button2;
  QPushButton* Button1;
};
