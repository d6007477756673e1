#include "monitor/Mon.h"

#include <QTextOption>

#include "link/Channel.h"

TMon::TMon(QWidget* parent) : TForm(827, 573, parent) {
  SetCaption(QStringLiteral("Monitor přijímače"));
  setFont(SansFont(17));

  Indik = new TTrackBar(this);
  SetBounds(Indik, 265, 272, 297, 33);
  Indik->setRange(0, 1000);
  Indik->setTickPosition(QSlider::NoTicks);
  Indik->setFocusPolicy(Qt::NoFocus);
  Indik->SetPosition(Channel().Activity());
  connect(&Channel(), &TChannel::ActivityChanged, Indik, &TTrackBar::SetPosition);

  Memo2 = new QTextEdit(this);
  SetBounds(Memo2, 201, 318, 425, 107);
  Memo2->setFont(SansFont(13));
  Memo2->setReadOnly(true);
  Memo2->setFocusPolicy(Qt::NoFocus);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette memoPalette = Memo2->palette();
  memoPalette.setColor(QPalette::Base, ButtonFaceColor());
  Memo2->setPalette(memoPalette);
  Memo2->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
  Memo2->setPlainText(QStringLiteral(
      "\n\n\nPři maximálním zaplnění monitoru může\njeho čtení trvat cca 30 sekund !"));

  Panel1 = new TPanel(this);
  SetBounds(Panel1, 317, 334, 193, 25);
  Panel1->SetFlat(true);
  Panel1->setFont(SansFont(13, true));
  Panel1->SetColor(ButtonFaceColor());
  Panel1->SetCaption(QStringLiteral("Upozornění"));

  Panel = new TPanel(this);
  SetBounds(Panel, 201, 68, 425, 185);
  Panel->setFont(SansFont(17, true));

  Memo1 = new TRxMemo(Channel().RxText(), this);
  Memo1->SetBoundsAndWrap(8, 8, 809, 489);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  SetBounds(Button1, 329, 512, 169, 49);
  Button2 = new QPushButton(QStringLiteral("Uložit do souboru"), this);
  SetBounds(Button2, 143, 512, 169, 49);
  Nul = new QPushButton(QStringLiteral("Nulovat monitor"), this);
  SetBounds(Nul, 515, 512, 169, 49);
  for (QPushButton* b : {Button1, Button2, Nul}) {
    b->setFont(SansFont(17, true));
    b->setAutoDefault(true);
  }
  setTabOrder(Button2, Button1);
  setTabOrder(Button1, Nul);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
}
