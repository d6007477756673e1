#include "app/ZOV.h"

#include <QPalette>
#include <QSlider>

#include "app/Exit.h"
#include "app/Forms.h"
#include "app/Logo.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "link/Channel.h"
#include "link/Sleeper.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"
#include "receiver/Session.h"
#include "serial/ComPort.h"
#include "ui/ErrorDisplay.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* text, int left, int top, int width, int height) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  SetBounds(b, left, top, width, height);
  b->setFont(SansFont(15, true));
  b->setAutoDefault(true);
  return b;
}

QFrame* MakeSeparator(QWidget* parent, int left, int top, int width, int height) {
  auto* f = new QFrame(parent);
  f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  f->setLineWidth(1);
  SetBounds(f, left, top, width, height);
  return f;
}

}  // namespace

namespace {
// The status line's row below the buttons.
constexpr int kStatusTop = 285;
constexpr int kStatusHeight = 26;
}  // namespace

TZOV::TZOV(QWidget* parent) : TForm(466, kStatusTop + kStatusHeight, parent) {
  setFont(SansFont(14));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setAutoFillBackground(true);

  Panel2 = new TPanel(this);
  SetBounds(Panel2, 13, 8, 439, 40);
  Panel2->setFont(SansFont(15, true));
  Panel2->SetColor(kBlue);
  Panel2->SetFontColor(kYellow);

  Image1 = new TImage(this);
  SetBounds(Image1, 13, 61, 211, 210);
  Image1->SetPicture(LogoImage());

  ComIni = MakeButton(this, "Připojení přijímače", 237, 61, 215, 27);
  Panel4 = MakeSeparator(this, 229, 100, 230, 4);
  Params = MakeButton(this, "Parametry přijímače", 237, 115, 215, 27);
  Tim = MakeButton(this, "Hodiny přijímače", 237, 148, 215, 28);
  Monitor = MakeButton(this, "Monitor přijímače", 237, 183, 215, 27);
  Panel3 = MakeSeparator(this, 229, 221, 230, 3);
  Konec = MakeButton(this, "Ukončit program", 237, 237, 215, 33);
  Stav = new TPanel(this);
  SetBounds(Stav, 13, kStatusTop, 439, kStatusHeight - 6);
  Stav->SetFlat(true);
  Stav->SetColor(Qt::white);
  Stav->setFont(SansFont(12));
  Stav->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Stav->setFrameStyle(QFrame::Box | QFrame::Plain);
  Stav->setIndent(4);
  Stav->setFocusPolicy(Qt::NoFocus);
  Params->setEnabled(false);
  Tim->setEnabled(false);
  Monitor->setEnabled(false);
  setTabOrder(ComIni, Params);
  setTabOrder(Params, Tim);
  setTabOrder(Tim, Monitor);
  setTabOrder(Monitor, Konec);

  auto bind = [this](QPushButton* b, void (TZOV::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  bind(ComIni, &TZOV::ComIniClick);
  bind(Params, &TZOV::ParamsClick);
  bind(Tim, &TZOV::TimClick);
  bind(Monitor, &TZOV::MonitorClick);
  bind(Konec, &TZOV::KonecClick);

  Sleeper1 = new TSleeper(this);
  Sleeper1->SetInterval(1000);

  // The receiver's port, as every session has it (9600 8N1, DTR and RTS
  // held off...). Nothing is opened here.
  ComPort1 = new TComPort(this);
  ComPort1->SetPort("COM1");
  receiver::ConfigurePort(*ComPort1);
  ComPort1->OnRxChar = [this](QObject* Sender, int Count) { ComPort1RxChar(Sender, Count); };

  FormCreate();
  SetActiveControl(ComIni);
}

TZOV::~TZOV() { DestroyPort(); }

void TZOV::DestroyPort() {
  TComPort* port = ComPort1;
  ComPort1 = nullptr;
  delete port;  // closes it when open
}

void TZOV::FormCreate() {
  SetCaption(QString::fromUtf8(kMainCaption));
  Panel2->SetCaption(QStringLiteral("Nastavení přijímače ZOV"));
}

void TZOV::ComIniClick() {
  ComInit->ShowModal();
  // The port chosen, when it was not opened.
  ShowLineState();
}
void TZOV::ParamsClick() { Parametry->ShowModal(); }
void TZOV::TimClick() { SetTim->ShowModal(); }
void TZOV::MonitorClick() { Mon->ShowModal(); }
void TZOV::KonecClick() { Exit->ShowModal(); }

void TZOV::ComPort1RxChar(QObject*, int Count) { Channel().Receive(Count); }

void TZOV::ShowLineState() {
  const TChannel& channel = Channel();
  QString port;
  if (channel.OpenedPort().empty()) {
    port = QString::fromStdString(channel.Port().Port());
  } else {
    port = QString::fromStdString(channel.OpenedPort());
    if (!channel.OpenedDevice().empty()) port += QStringLiteral(" (%1)").arg(QString::fromStdString(channel.OpenedDevice()));
  }
  QString state;
  switch (channel.State()) {
    case TLineState::NotConnected: state = QStringLiteral("nepřipojeno"); break;
    case TLineState::LoggedIn: state = QStringLiteral("přihlášeno"); break;
    case TLineState::Lost: state = QStringLiteral("spojení ztraceno – připojte znovu"); break;
  }
  QStringList parts{port};
  if (const std::optional<int> serial = channel.ReceiverSerial()) parts << QStringLiteral("výrobní číslo %1").arg(*serial);
  parts << state;
  Stav->SetCaption(parts.join(QStringLiteral(" · ")));
  // Red when the operator is to act.
  Stav->SetFontColor(channel.State() == TLineState::Lost ? kRed : Qt::black);
}
