#include "connect/ComInit.h"

#include "connect/RcvInit.h"
#include "convert/IntConversion.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "serial/ComPort.h"
#include "ui/Controls.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialog.h"

namespace {
QLabel* AutoSizeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->setFont(SansFont(13));
  l->adjustSize();
  l->move(left, top);
  return l;
}
}  // namespace

TComInit::TComInit(TRcvInit* rcvInit, QWidget* parent) : TForm(391, 187, parent), rcvInit_(rcvInit) {
  SetCaption(QStringLiteral("Nastavení seriového portu"));
  setFont(SansFont(14, true));

  Label2 = AutoSizeLabel(this, QStringLiteral("Volba seriového protu:"), 75, 22);
  ComComboBox1 = new TComComboBox(this);
  SetBounds(ComComboBox1, 213, 17, 74, 24);
  ComComboBox1->setFont(SansFont(13));
  // The ports present, showing the main window's port (COM1 at start); a
  // choice goes into ComPort1 at once. A refused port enumeration is shown
  // and leaves the list empty.
  Guarded([this] { ComComboBox1->SetComProperty(cpPort); });
  ComComboBox1->SetComPort(&Channel().Port());
  ComComboBox1->SetAutoApply(true);
  Label1 = AutoSizeLabel(this, QStringLiteral("Kód operátora:"), 119, 50);
  Usr = new QLineEdit(this);
  SetBounds(Usr, 213, 47, 48, 24);
  Usr->setFont(SansFont(13));
  Button2 = new QPushButton(QStringLiteral("Připojení přijímače"), this);
  SetBounds(Button2, 77, 86, 237, 41);
  Button2->setFont(SansFont(15, true));
  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button1, 77, 133, 237, 41);
  Button1->setFont(SansFont(15, true));
  for (QPushButton* b : {Button1, Button2}) b->setAutoDefault(true);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });

  setTabOrder(Usr, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, ComComboBox1);
  SetActiveControl(Button2);
}

void TComInit::FormActivate() {
  OperatorCode = login::kDefaultOperatorCode;
  Usr->setEnabled(operatorCodeEditable_);
  emit RestrictReceiverDialogs();
  Usr->setText(QString::number(OperatorCode));
  SetActiveControl(Button2);
}

void TComInit::Button2Click() {
  // Not a number: the conversion's error ends the handler.
  const int code = StrToInt(Usr->text().toStdString());
  if (!login::IsValidOperatorCode(code)) {
    MessageDialog().ShowWith(QStringLiteral("Chyba"), kRed, QStringLiteral("Nepovolený vstup"));
    SetActiveControl(Usr);
    return;
  }
  // A port that cannot be opened ends the handler here: this dialog stays,
  // the operator code keeps its value.
  Channel().Port().ClosePort();
  Channel().Port().OpenPort();
  OperatorCode = static_cast<std::uint8_t>(code);
  rcvInit_->ShowModal();
}

void TComInit::Button1Click() { Close(); }
