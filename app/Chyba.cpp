#include "app/Chyba.h"

#include <algorithm>

#include "ui/ErrorDisplay.h"

TChyba::TChyba(QWidget* parent) : TForm(300, 140, parent) {
  setFont(SansFont(14));
  Panel = new TPanel(this);
  SetBounds(Panel, 7, 19, 286, 55);
  Panel->setFont(SansFont(15, true));
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  SetBounds(Button1, 117, 91, 66, 33);
  Button1->setFont(SansFont(15, true));
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  RestoreRestingState();
  SetActiveControl(Button1);
}

void TChyba::RestoreRestingState() {
  SetCaption(QStringLiteral("Chyba"));
  Panel->SetColor(kRed);
  Panel->SetFontColor(kWhite);
}

void TChyba::ShowText(const QString& text) {
  Panel->SetCaption(text);
  ShowMessage();
}

void TChyba::ShowWith(const QString& caption, const QColor& color, const QString& text) {
  SetCaption(caption);
  Panel->SetColor(color);
  Panel->SetCaption(text);
  struct Restore {
    TChyba* d;
    ~Restore() { d->RestoreRestingState(); }
  } restore{this};
  ShowMessage();
}

void TChyba::ShowMessage() {
  if (Caption() == QStringLiteral("Chyba")) ErrorShown(Panel->Caption());
  FitText();
  ShowModal();
}

void TChyba::FitText() {
  // The panel's height at rest; a longer message (a file's name and line)
  // makes the panel and the window taller, the button below it.
  constexpr int kRestingHeight = 55;
  const int height = std::max(kRestingHeight, Panel->heightForWidth(Panel->width()) + 8);
  SetBounds(Panel, 7, 19, 286, height);
  SetBounds(Button1, 117, height + 36, 66, 33);
  if (this->height() != height + 85) setFixedSize(300, height + 85);
}

void TChyba::Button1Click() { Close(); }
