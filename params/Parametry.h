#pragma once
// The parameters dialog: the receiver's parameter set in its fields.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "ui/Controls.h"
#include "ui/Form.h"

class TParametry : public TForm {
 public:
  explicit TParametry(QWidget* parent = nullptr);

  // Address n (1..8) and mask-group value c (1..4) of address n.
  QLineEdit* Adr(int n) const;
  TSpinEdit* F(int n, int c) const;

  TPanel* Op;
  TPanel* Zapis;
  QLineEdit *Adr1, *Adr2, *Adr3, *Adr4, *Adr5, *Adr6, *Adr7, *Adr8;
  TSpinEdit *F11, *F12, *F13, *F14, *F21, *F22, *F23, *F24, *F31, *F32, *F33, *F34, *F41, *F42, *F43, *F44,
      *F51, *F52, *F53, *F54, *F61, *F62, *F63, *F64, *F71, *F72, *F73, *F74, *F81, *F82, *F83, *F84;
  QGroupBox* GroupBox1;
  QLineEdit *P1, *P2, *P3, *P4, *P5;
  TSpinEdit* P0;
  TSpinEdit* Dead;
  TSpinEdit* Net;
  TSpinEdit *Dau1, *Dau2;
  QCheckBox* site;
  QCheckBox* vsechny;
  QCheckBox* jeden;
  QLineEdit *Ser1, *Ser2;
  QPushButton* Default;
  QPushButton* Button2;
  TPanel* Panel12;
  QPushButton* Button1;
  TPanel* Read;
  QProgressBar* status;
};
