#include "params/Parametry.h"

#include "ui/MessageDialog.h"

namespace {

constexpr int kRowHeight = 21;

QLabel* FieldLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->adjustSize();
  l->move(left, top + (kRowHeight - l->height()) / 2);
  return l;
}

QLineEdit* Edit(QWidget* parent, int left, int top, int width) {
  auto* e = new QLineEdit(parent);
  SetBounds(e, left, top, width, kRowHeight);
  return e;
}

TSpinEdit* Spin(QWidget* parent, int left, int top, int width, int min, int max) {
  auto* s = new TSpinEdit(parent);
  SetBounds(s, left, top, width, kRowHeight);
  s->SetRange(min, max);
  return s;
}

TPanel* ValuePanel(QWidget* parent, int left, int top) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, 42, kRowHeight);
  p->SetColor(kSilver);
  return p;
}

}  // namespace

TParametry::TParametry(QWidget* parent) : TForm(523, 444, parent) {
  SetCaption(QStringLiteral("Parametry přijímače"));
  setFont(SansFont(13));

  FieldLabel(this, QStringLiteral("Operátor"), 7, 4);
  Op = ValuePanel(this, 104, 4);
  FieldLabel(this, QStringLiteral("Pořadí zápisu"), 270, 4);
  Zapis = ValuePanel(this, 360, 4);

  QLineEdit** adr[8] = {&Adr1, &Adr2, &Adr3, &Adr4, &Adr5, &Adr6, &Adr7, &Adr8};
  TSpinEdit** f[8][4] = {{&F11, &F12, &F13, &F14}, {&F21, &F22, &F23, &F24}, {&F31, &F32, &F33, &F34},
                         {&F41, &F42, &F43, &F44}, {&F51, &F52, &F53, &F54}, {&F61, &F62, &F63, &F64},
                         {&F71, &F72, &F73, &F74}, {&F81, &F82, &F83, &F84}};
  const int columns[4] = {221, 267, 313, 359};
  for (int n = 0; n < 8; ++n) {
    const int top = 32 + 26 * n;
    FieldLabel(this, QStringLiteral("Adresa (%1)").arg(n + 1), 7, top);
    *adr[n] = Edit(this, 104, top, 98);
    for (int c = 0; c < 4; ++c) *f[n][c] = Spin(this, columns[c], top, 42, 1, 5);
  }

  GroupBox1 = new QGroupBox(QStringLiteral("MSKP GRUPY"), this);
  SetBounds(GroupBox1, 413, 46, 103, 108);
  const char* abc[3] = {"A", "B", "C"};
  QLineEdit** p13[3] = {&P1, &P2, &P3};
  for (int i = 0; i < 3; ++i) {
    FieldLabel(this, QString::fromLatin1(abc[i]), 445, 65 + 27 * i);
    *p13[i] = Edit(this, 468, 65 + 27 * i, 38);
  }
  FieldLabel(this, QStringLiteral("Param. 1"), 413, 188);
  P4 = Edit(this, 477, 188, 38);
  FieldLabel(this, QStringLiteral("Param.2"), 413, 214);
  P5 = Edit(this, 477, 214, 38);

  FieldLabel(this, QStringLiteral("Tón tlačítka"), 7, 245);
  P0 = Spin(this, 104, 245, 50, 0, 5);
  FieldLabel(this, QStringLiteral("0 = houká po dobu stisknutí"), 168, 245);
  FieldLabel(this, QStringLiteral("Mrtvý čas"), 7, 272);
  Dead = Spin(this, 104, 272, 50, 0, 255);
  FieldLabel(this, QStringLiteral("Číslo sítě"), 7, 299);
  Net = Spin(this, 104, 299, 50, 1, 15);
  FieldLabel(this, QStringLiteral("Číslo vysílače"), 7, 326);
  Dau1 = Spin(this, 104, 326, 50, 1, 31);
  Dau2 = Spin(this, 168, 326, 50, 1, 31);

  // The three selection boxes stand one below the other.
  site = new QCheckBox(QStringLiteral("Všechny sítě a vysílače"), this);
  SetBounds(site, 260, 301, 240, 17);
  vsechny = new QCheckBox(QStringLiteral("Všechny vysílače"), this);
  SetBounds(vsechny, 260, 318, 240, 17);
  jeden = new QCheckBox(QStringLiteral("Pouze jeden vysílač"), this);
  SetBounds(jeden, 260, 335, 240, 17);

  FieldLabel(this, QStringLiteral("Ser.num Hi"), 7, 355);
  Ser1 = Edit(this, 104, 355, 46);
  FieldLabel(this, QStringLiteral("Ser.num Lo"), 180, 355);
  Ser2 = Edit(this, 260, 355, 46);

  Default = new QPushButton(QStringLiteral("Default"), this);
  SetBounds(Default, 22, 399, 149, 30);
  Button2 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button2, 187, 399, 149, 30);
  QFont bold = SansFont(13, true);
  Button2->setFont(bold);
  QPalette red = Button2->palette();
  red.setColor(QPalette::ButtonText, kRed);
  Button2->setPalette(red);
  Panel12 = new TPanel(this);
  SetBounds(Panel12, 344, 390, 163, 46);
  Panel12->SetColor(kRed);
  Button1 = new QPushButton(QStringLiteral("Zapsat do přijímače"), this);
  SetBounds(Button1, 352, 399, 149, 30);
  Button1->setFont(bold);
  for (QPushButton* b : {Default, Button2, Button1}) b->setAutoDefault(true);

  Read = new TPanel(this);
  SetBounds(Read, 2, 2, 519, 383);
  Read->setFont(SansFont(15, true));
  Read->hide();
  status = new QProgressBar(this);
  SetBounds(status, 38, 218, 448, 17);
  status->setRange(0, 127);
  status->setTextVisible(false);
  status->hide();

  QList<QWidget*> order;
  for (int n = 0; n < 8; ++n) {
    order << *adr[n];
    for (int c = 0; c < 4; ++c) order << *f[n][c];
  }
  order << P1 << P2 << P3 << P4 << P5 << P0 << Dead << Net << site << Dau1 << Dau2 << vsechny << jeden << Ser1
        << Ser2 << Default << Button2 << Button1;
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  for (QWidget* w : {static_cast<QWidget*>(Op), static_cast<QWidget*>(Zapis), static_cast<QWidget*>(Panel12),
                     static_cast<QWidget*>(Read), static_cast<QWidget*>(status)})
    w->setFocusPolicy(Qt::NoFocus);
}

QLineEdit* TParametry::Adr(int n) const {
  QLineEdit* const a[8] = {Adr1, Adr2, Adr3, Adr4, Adr5, Adr6, Adr7, Adr8};
  return n >= 1 && n <= 8 ? a[n - 1] : nullptr;
}

TSpinEdit* TParametry::F(int n, int c) const {
  TSpinEdit* const f[8][4] = {{F11, F12, F13, F14}, {F21, F22, F23, F24}, {F31, F32, F33, F34},
                              {F41, F42, F43, F44}, {F51, F52, F53, F54}, {F61, F62, F63, F64},
                              {F71, F72, F73, F74}, {F81, F82, F83, F84}};
  return n >= 1 && n <= 8 && c >= 1 && c <= 4 ? f[n - 1][c - 1] : nullptr;
}
