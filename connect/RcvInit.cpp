#include "connect/RcvInit.h"

#include <QTextOption>

#include "link/Channel.h"
#include "link/Login.h"
#include "receiver/LoginDrive.h"
#include "serial/ComPort.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialog.h"

namespace {
const char* const kInstruction = "Stiskněte tkačítko \"reset\" na sirénovém přijímači";
const char* const kLoginFailed = "Při čtení parametrů došlo k chybě";
const char* const kNotConfirmed = "Přihlášení se nezdařilo – stiskněte reset na přijímači znovu";
}

TRcvInit::TRcvInit(QWidget* parent) : TForm(371, 282, parent) {
  SetCaption(QStringLiteral("Reset přijímače"));
  setFont(SansFont(14, true));

  Panel1 = new TPanel(this);
  SetBounds(Panel1, 7, 13, 358, 60);
  Panel1->setFont(SansFont(15, true));
  Panel1->SetColor(kBlue);
  Panel1->SetFontColor(kWhite);
  Panel1->SetCaption(QString::fromUtf8(kInstruction));

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
  memoPalette.setColor(QPalette::Base, kSilver);
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
  Panel2->SetColor(kSilver);
  Panel2->SetCaption(QStringLiteral("Čekám na odpověď přijímače."));

  // Below the memo, above Storno.
  Cekani = new QLabel(this);
  SetBounds(Cekani, 27, 204, 317, 14);
  Cekani->setFont(SansFont(11));
  Cekani->setAlignment(Qt::AlignCenter);

  Button1 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button1, 120, 219, 129, 51);
  Button1->setFont(SansFont(15, true));
  Button1->setAutoDefault(true);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });

  Timer1 = new QTimer(this);
  Timer1->setInterval(login::kPollIntervalMs);
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  // A port that fails while the dialog polls ends the login; the error box
  // has told the operator why, and Storno is the way out. (A failure during
  // the login's waits ends the tick with the port's error.)
  connect(&Channel(), &TChannel::PortFailed, this, [this] {
    if (Timer1->isActive()) ShowLoginFailed();
  });

  SetActiveControl(Button1);
}

void TRcvInit::FormActivate() {
  receiver::BeginLogin();
  Info->setText(QStringLiteral("Připojeno k portu ") + QString::fromStdString(Channel().Port().Port()));
  StartPolling();
  Panel1->SetColor(kBlue);
  Panel1->SetCaption(QString::fromUtf8(kInstruction));
  SetActiveControl(Button1);
}

void TRcvInit::StartPolling() {
  waiting_.start();
  ShowWaiting();
  Timer1->start();
}

void TRcvInit::ShowWaiting() {
  // The seconds tell the operator the dialog is alive and when the ten
  // seconds after the reset are up.
  Cekani->setText(QStringLiteral("Čekám %1 s").arg(waiting_.elapsed() / 1000));
}

void TRcvInit::ShowLoginFailed(const char* text) {
  Timer1->stop();
  Panel1->SetColor(kRed);
  Panel1->SetCaption(QString::fromUtf8(text ? text : kLoginFailed));
}

void TRcvInit::Timer1Timer() {
  ShowWaiting();
  login::TLoginTick tick;
  try {
    tick = receiver::LoginTick(OperatorCode, [this] { Timer1->stop(); });
  } catch (...) {
    // A line that has failed would fail the next space too, and an error
    // box every 500 ms would leave no chance to reach Storno.
    ShowLoginFailed();
    throw;
  }
  switch (tick) {
    case login::TLoginTick::Polling:
      return;
    case login::TLoginTick::NoOperatorPrompt:
      // The login failed: it says so and stays, Storno is the way out.
      ShowLoginFailed();
      return;
    case login::TLoginTick::NotConfirmed:
      // The receiver took the code for nothing (reset again meanwhile, most
      // likely): the operator is to reset it once more, and the polling
      // waits for its prompt again. Storno is the way out.
      ShowLoginFailed(kNotConfirmed);
      StartPolling();
      return;
    case login::TLoginTick::LoggedIn:
      break;
  }
  // The buttons come on, and this dialog and the connection dialog close
  // (both once this handler has ended).
  emit LoggedIn();
  Close();
  MessageDialog().ShowWith(QStringLiteral("OK"), kGreen, QStringLiteral("Přijímač připojen v pořádku"));
  emit LoginReported();
}

void TRcvInit::Button1Click() {
  emit ResetCancelled();
  Close();
}

void TRcvInit::FormClose() { Timer1->stop(); }
