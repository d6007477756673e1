#include "app/Exit.h"

#include "app/Forms.h"
#include "app/ZOV.h"
#include "ui/ErrorDisplay.h"

// The window is 444 x 198 with its frame; this is its client area.
TExit::TExit(QWidget* parent) : TForm(436, 164, parent) {
  SetCaption(QStringLiteral("Ukončení programu"));
  setFont(SansFont(14));
  Panel1 = new TPanel(this);
  SetBounds(Panel1, 48, 26, 337, 49);
  Panel1->setFont(SansFont(17, true));
  Panel1->SetColor(kBlue);
  Panel1->SetFontColor(kWhite);
  Panel1->SetCaption(QStringLiteral("Opravdu chcete program ukončit ?"));
  OK = new QPushButton(QStringLiteral("OK"), this);
  SetBounds(OK, 104, 96, 105, 41);
  OK->setFont(SansFont(17, true));
  Storno = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Storno, 216, 96, 105, 41);
  Storno->setFont(SansFont(17, true));
  for (QPushButton* b : {OK, Storno}) b->setAutoDefault(true);
  setTabOrder(OK, Storno);
  connect(OK, &QPushButton::clicked, this, [this] { Guarded([this] { OKClick(); }); });
  connect(Storno, &QPushButton::clicked, this, [this] { Guarded([this] { StornoClick(); }); });
  SetActiveControl(Storno);
}

void TExit::FormActivate() { SetActiveControl(Storno); }

void TExit::OKClick() {
  Close();
  ZOV->Close();
}

void TExit::StornoClick() { Close(); }
