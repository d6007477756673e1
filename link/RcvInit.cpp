#include "link/RcvInit.h"

#include <QTextOption>

#include "app/Chyba.h"

TRcvInit::TRcvInit(QWidget* parent) : TForm(371, 282, parent) {
  SetCaption(QStringLiteral("Reset přijímače"));
  setFont(SansFont(14, true));

  Panel1 = new TPanel(this);
  SetBounds(Panel1, 7, 13, 358, 60);
  Panel1->setFont(SansFont(15, true));
  Panel1->SetColor(kBlue);
  Panel1->SetFontColor(kWhite);
  Panel1->SetCaption(QStringLiteral("Stiskněte tkačítko \"reset\" na sirénovém přijímači"));

  Info = new QLabel(this);
  SetBounds(Info, 77, 80, 217, 14);
  Info->setFont(SansFont(11));
  Info->setAlignment(Qt::AlignCenter);

  Memo1 = new QTextEdit(this);
  SetBounds(Memo1, 27, 104, 317, 99);
  Memo1->setFont(SansFont(11));
  Memo1->setReadOnly(true);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette memoPalette = Memo1->palette();
  memoPalette.setColor(QPalette::Base, Silver());
  Memo1->setPalette(memoPalette);
  Memo1->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
  Memo1->setPlainText(QStringLiteral(
      "\n\n\n"
      "Pokud  do 10-ti sekund po resetu přijímače nedojde \n"
      "k automatickému uzavření okna, přijímač neodpovídá.\n"
      "V tom případě použijte tlačítko \"Storno\"."));

  Panel2 = new TPanel(this);
  SetBounds(Panel2, 80, 112, 210, 22);
  Panel2->SetFlat(true);
  Panel2->setFont(SansFont(12, true));
  Panel2->SetColor(Silver());
  Panel2->SetCaption(QStringLiteral("Čekám na odpověď přijímače."));

  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button1, 120, 219, 129, 51);
  Button1->setFont(SansFont(15, true));
  Button1->setAutoDefault(true);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);

  SetActiveControl(Button1);
}
