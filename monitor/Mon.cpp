#include "monitor/Mon.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTextOption>

#include "link/Channel.h"
#include "receiver/MonitorFile.h"
#include "receiver/Readout.h"
#include "ui/ErrorDisplay.h"
#include "ui/Files.h"
#include "ui/Question.h"

namespace {
const char* const kReading = "Probíhá čtení monitoru přijímače";
const char* const kReadFailed = "Chyba čtení monitoru přijímače";
}  // namespace

namespace {
// The line below the buttons: where the last save went.
constexpr int kSavedTop = 573;
constexpr int kSavedHeight = 24;
}  // namespace

TMon::TMon(QWidget* parent) : TForm(827, kSavedTop + kSavedHeight, parent) {
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
  Ulozeno = new TPanel(this);
  SetBounds(Ulozeno, 8, kSavedTop - 4, 809, kSavedHeight);
  Ulozeno->SetFlat(true);
  Ulozeno->setFont(SansFont(13, true));
  Ulozeno->setWordWrap(false);
  Ulozeno->setFocusPolicy(Qt::NoFocus);
  setTabOrder(Button2, Button1);
  setTabOrder(Button1, Nul);

  Timer1 = new QTimer(this);
  Timer1->setInterval(monitor::kWatchIntervalMs);

  auto bind = [this](QPushButton* b, void (TMon::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  bind(Button1, &TMon::Button1Click);
  bind(Button2, &TMon::Button2Click);
  bind(Nul, &TMon::NulClick);
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  // A port that fails while the monitor comes in ends the read-out at once;
  // the error box has already told the operator why. (During the opening's
  // waits the wait itself ends the opening with the port's error.)
  connect(&Channel(), &TChannel::PortFailed, this, [this] {
    if (Timer1->isActive()) ShowReadFailure();
  });
}

void TMon::FormActivate() {
  // The read-out sets the activity counter to 0, and Indik follows it.
  Indik->show();
  Panel1->show();
  Memo2->show();
  ticks_ = monitor::kFirstTickCount;
  Timer1->stop();
  Memo1->hide();  // the read-out clears the receive text it shows
  Panel->SetColor(ButtonFaceColor());
  Panel->SetFontColor(Qt::black);
  Panel->SetCaption(QString::fromUtf8(kReading));
  Button2->setEnabled(false);
  Nul->setEnabled(false);
  // A new read-out: nothing of it saved yet.
  savedTo_.clear();
  Ulozeno->SetCaption(QString());
  SetActiveControl(Button1);

  bool started = false;
  try {
    started = monitor::StartReadoutOnChannel();
  } catch (...) {
    // The port's error ends the read-out; the error box tells which.
    ShowReadFailure();
    throw;
  }
  if (!started) {
    ShowReadFailure();
    return;
  }
  Timer1->start();
}

void TMon::Timer1Timer() {
  switch (monitor::WatchOnChannel(ticks_)) {
    case monitor::TWatch::Waiting:
      return;
    case monitor::TWatch::Done:
      // Trimmed while still hidden, so the memo lays the monitor out once.
      readAt_ = QDateTime::currentDateTime();
      Memo1->show();
      Button2->setEnabled(true);
      Nul->setEnabled(true);
      Timer1->stop();
      return;
    case monitor::TWatch::Failed:
      ShowReadFailure();
      return;
  }
}

void TMon::ShowReadFailure() {
  Timer1->stop();
  Panel1->hide();
  Indik->hide();
  Memo2->hide();
  Panel->SetCaption(QString::fromUtf8(kReadFailed));
  Panel->SetColor(kRed);
  Panel->SetFontColor(kWhite);
}

void TMon::Button1Click() { Close(); }

void TMon::Button2Click() {
  // Offers the read-out's own name (its date and time), in the folder of the
  // last save; adds .txt to a name without a suffix and asks before a file
  // is replaced.
  TFileQuestion question;
  question.Suffix = QStringLiteral("txt");
  const QString name = MonitorFileName(readAt_);
  question.Suggested = folder_.isEmpty() ? name : QDir(folder_).filePath(name);
  const QString fileName = AskFileName(this, question);
  if (fileName.isEmpty()) return;
  folder_ = QFileInfo(fileName).absolutePath();
  // The bytes as the receiver sent them, not the memo's decoded text.
  SaveMonitorFile(fileName, RxText().Text());
  savedTo_ = fileName;
  const QFontMetrics metrics(Ulozeno->font());
  Ulozeno->SetCaption(QStringLiteral("Uloženo do ") +
                      metrics.elidedText(QDir::toNativeSeparators(fileName), Qt::ElideMiddle,
                                         Ulozeno->width() - metrics.horizontalAdvance(QStringLiteral("Uloženo do ")) - 12));
}

void TMon::NulClick() {
  // Enter answers no: the monitor is the receiver's only record.
  if (confirmClear_ &&
      !AskYesNo(this, QStringLiteral("Opravdu vymazat monitor přijímače? Záznam, který není uložen, bude ztracen."),
                TDefaultAnswer::No))
    return;
  // One "n" only, however often the button is pressed during the wait.
  Nul->setEnabled(false);
  Button2->setEnabled(false);
  try {
    monitor::ClearMonitor(savedTo_.isEmpty() ? std::string() : QDir::toNativeSeparators(savedTo_).toStdString());
  } catch (...) {
    // The dialog stays, with the monitor as it was read.
    Nul->setEnabled(true);
    Button2->setEnabled(true);
    throw;
  }
  Close();
}

void TMon::FormClose() {
  Timer1->stop();
}
