#pragma once
// The exit confirmation: "OK" ends the program, "Storno" returns to the main
// window with everything as it was.
#include <QPushButton>

#include "ui/Controls.h"
#include "ui/Form.h"

class TExit : public TForm {
 public:
  explicit TExit(QWidget* parent = nullptr);

  void FormActivate() override;
  void OKClick();
  void StornoClick();

  TPanel* Panel1;
  QPushButton* OK;
  QPushButton* Storno;
};
