// The parameters dialog's three selection boxes and the fields they set:
// "Všechny sítě a vysílače" (site), "Všechny vysílače" (vsechny) and "Pouze
// jeden vysílač" (jeden) with the network and transmitter fields.
#include "params/Parametry.h"

using namespace params;

namespace {

// A selection field (Net, Dau1, Dau2): in the window colour while it can
// be edited, silver while it stands for "all" or follows another.
void SetSelectable(TSpinEdit* field, bool selectable) {
  field->SetColor(selectable ? WindowColor() : kSilver);
  field->setEnabled(selectable);
}

void SetSelectable(TSpinEdit* field, const char* text, bool selectable) {
  field->SetText(QString::fromLatin1(text));
  SetSelectable(field, selectable);
}

}  // namespace

void TParametry::ShowSelection(const TSelection& selection) {
  site->setChecked(selection.AllNetworks);
  SetSelectable(Net, !selection.AllNetworks);
  switch (selection.Transmitters) {
    case TTransmitters::All:
      vsechny->setChecked(true);
      jeden->setChecked(false);
      SetSelectable(Dau1, false);
      SetSelectable(Dau2, false);
      break;
    case TTransmitters::One:
      vsechny->setChecked(false);
      jeden->setChecked(true);
      SetSelectable(Dau1, true);
      SetSelectable(Dau2, false);
      break;
    case TTransmitters::Free:
      vsechny->setChecked(false);
      jeden->setChecked(false);
      SetSelectable(Dau1, true);
      SetSelectable(Dau2, true);
      break;
  }
}

void TParametry::ShowAllNetworks() {
  SetSelectable(Net, "0", false);
  vsechny->hide();
  jeden->hide();
  jeden->setChecked(false);
  vsechny->setChecked(true);
  SetSelectable(Dau1, "0", false);
  SetSelectable(Dau2, "0", false);
}

void TParametry::SiteClick() {
  if (site->isChecked()) {
    ShowAllNetworks();
  } else {
    SetSelectable(Net, "7", true);
    vsechny->show();
    jeden->show();
    vsechny->setChecked(false);
    jeden->setChecked(false);
    SetSelectable(Dau1, "15", true);
    SetSelectable(Dau2, "15", true);
  }
}

void TParametry::vsechnyClick() {
  if (vsechny->isChecked()) {
    if (jeden->isChecked()) jeden->setChecked(false);
    SetSelectable(Dau1, "0", false);
    SetSelectable(Dau2, "0", false);
  } else {
    SetSelectable(Dau1, "15", true);
    SetSelectable(Dau2, "15", true);
  }
}

void TParametry::jedenClick() {
  if (jeden->isChecked()) {
    if (vsechny->isChecked()) vsechny->setChecked(false);
    SetSelectable(Dau1, "15", true);
    SetSelectable(Dau2, "15", false);
  } else {
    SetSelectable(Dau1, "15", true);
    SetSelectable(Dau2, "15", true);
  }
}

void TParametry::Dau1Change() {
  if (jeden->isChecked()) Dau2->SetText(Dau1->Text());
}
