#pragma once
// The connection dialog: the port to use and the operator code, and the
// button that connects: it opens the port and shows the reset dialog, which
// logs in on the receiver.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Form.h"
#include "portselect/ComComboBox.h"

class TComInit : public TForm {
 public:
  explicit TComInit(QWidget* parent = nullptr);

  // Operator code 100 in the disabled field, the hidden and disabled
  // controls of the receiver dialogs, the focus on "Připojení přijímače".
  void FormActivate() override;
  // Connect: check the operator code, close and reopen the port, take the
  // code and show the reset dialog.
  void Button2Click();
  void Button1Click();  // "Storno": closes the dialog, the port as it is

  QLabel* Label2;
  TComComboBox* ComComboBox1;  // bound to ZOV->ComPort1's Port, applied at once
  QLabel* Label1;
  QLineEdit* Usr;
  QPushButton* Button2;
  QPushButton* Button1;
};
