#include "clock/SetTim.h"

#include "ui/MessageDialog.h"

namespace {

TPanel* LabelPanel(QWidget* parent, const QString& text, int left, int top, int width, int height) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, width, height);
  p->SetCaption(text);
  return p;
}

TPanel* ClockPanel(QWidget* parent, const QString& text, int left, int top, int width) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, width, 25);
  p->SetColor(Qt::white);
  p->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  p->setFrameStyle(QFrame::Box | QFrame::Plain);
  p->setIndent(3);
  p->SetCaption(text);
  return p;
}

}  // namespace

TSetTim::TSetTim(QWidget* parent) : TForm(321, 325, parent) {
  SetCaption(QStringLiteral("Hodiny přijímače"));
  setFont(SansFont(13));

  Panel5 = new TPanel(this);
  SetBounds(Panel5, 8, 8, 304, 104);
  Panel5->SetColor(kBlue);

  GroupBox1 = new QGroupBox(QStringLiteral("   Hodiny PC   "), this);
  SetBounds(GroupBox1, 8, 120, 248, 128);
  LabelPanel(GroupBox1, QStringLiteral("Den v týdnu"), 8, 24, 136, 24);
  LabelPanel(GroupBox1, QStringLiteral("Datum (dd.mm.rrrr)"), 8, 56, 136, 24);
  LabelPanel(GroupBox1, QStringLiteral("Čas (hh:mm:ss)"), 8, 88, 136, 24);

  Panel3 = LabelPanel(this, QStringLiteral("Datum (dd.mm.rrrr)"), 16, 48, 137, 25);
  Panel6 = LabelPanel(this, QStringLiteral("Čas (hh:mm:ss)"), 16, 80, 137, 25);

  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button1, 168, 264, 144, 48);
  Button1->setFont(SansFont(17, true));
  Panel9 = new TPanel(this);
  SetBounds(Panel9, 8, 264, 144, 48);
  Panel9->SetColor(kRed);
  Button2 = new QPushButton(QStringLiteral("Zapsat"), Panel9);
  SetBounds(Button2, 9, 9, 128, 32);
  Button2->setFont(SansFont(17, true));
  for (QPushButton* b : {Button1, Button2}) b->setAutoDefault(true);

  PCT = ClockPanel(this, QStringLiteral("PCT"), 160, 208, 81);
  // Day and month digits may be left blank, the year and the time digits
  // (but the first hour digit) are required; the separators are fixed.
  Dat = new QLineEdit(this);
  SetBounds(Dat, 160, 48, 81, 24);
  Dat->setInputMask(QStringLiteral("99.99.0000; "));
  Tim = new QLineEdit(this);
  SetBounds(Tim, 160, 80, 81, 24);
  Tim->setInputMask(QStringLiteral("90:00:00; "));
  PCD = ClockPanel(this, QStringLiteral("PCD"), 160, 176, 81);
  DOW = ClockPanel(this, QStringLiteral("DOW"), 160, 144, 33);

  Memo1 = new QPlainTextEdit(this);
  SetBounds(Memo1, 248, 16, 56, 89);
  Memo1->setReadOnly(true);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->document()->setDocumentMargin(1);
  Memo1->setPlainText(QStringLiteral(" Ne = 0\n Po = 1\n •••\n Pá = 5\n So = 6"));

  Dvt = new QLineEdit(this);
  SetBounds(Dvt, 160, 16, 49, 24);
  Dvt->setText(QStringLiteral("Dvt"));
  Panel2 = LabelPanel(this, QStringLiteral("Den v týdnu"), 16, 16, 137, 25);

  Read = new TPanel(this);
  SetBounds(Read, 8, 8, 304, 249);
  Read->setFont(SansFont(17, true));
  Read->hide();

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);

  setTabOrder(Button1, Dvt);
  setTabOrder(Dvt, Dat);
  setTabOrder(Dat, Tim);
  setTabOrder(Tim, Button2);
}
