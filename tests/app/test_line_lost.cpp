// A port that fails while an exchange waits for the receiver ends that
// exchange in every dialog alike: the operator sees one error box and the
// dialog's red failure text, and nothing more goes out.
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "ReceiverTest.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "connect/RcvInit.h"
#include "link/Channel.h"
#include "link/Sleeper.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"

namespace {

using LineLost = ReceiverTest;

struct Case {
  const char* what;
  QPushButton* (*opener)();        // the main window's button that opens the dialog
  std::function<bool()> ready;     // the exchange may start (null: it starts on opening)
  std::function<void()> start;     // starts it when ready
  std::string dropAfter;           // the line is dropped in the wait after this send
  std::function<QString()> shown;  // the failure text the dialog shows
  QString failure;
  std::function<void()> leave;     // the dialog's way out
};

bool Running(TForm* f) { return ActiveModal() == f && f->Running(); }

}  // namespace

TEST_F(LineLost, DuringAWaitEndsTheExchangeWithOneErrorBoxAndTheRedFailureText) {
  const Case cases[] = {
      {"parameter read-out", [] { return ZOV->Params; }, nullptr, nullptr, "e",
       [] { return Parametry->Read->Caption(); }, QStringLiteral("Chyba čtení parametrů přijímače"),
       [] { Parametry->Button2->click(); }},
      {"parameter write", [] { return ZOV->Params; },
       [] { return Running(Parametry) && Parametry->Button1->isEnabled(); }, [] { Parametry->Button1->click(); },
       "\r", [] { return Parametry->Read->Caption(); }, QStringLiteral("Chyba zápisu parametrů přijímače"),
       [] { Parametry->Button2->click(); }},
      {"clock read", [] { return ZOV->Tim; }, nullptr, nullptr, "t", [] { return SetTim->Read->Caption(); },
       QStringLiteral("Chyba čtení hodin přijímače"), [] { SetTim->Button1->click(); }},
      {"clock write", [] { return ZOV->Tim; }, [] { return Running(SetTim) && SetTim->Button2->isEnabled(); },
       [] { SetTim->Button2->click(); }, "\r", [] { return SetTim->Read->Caption(); },
       QStringLiteral("Chyba zápisu hodin přijímače"), [] { SetTim->Button1->click(); }},
      {"monitor opening", [] { return ZOV->Monitor; }, nullptr, nullptr, "\r", [] { return Mon->Panel->Caption(); },
       QStringLiteral("Chyba čtení monitoru přijímače"), [] { Mon->Button1->click(); }},
      {"login", [] { return ZOV->ComIni; }, [] { return Running(ComInit); }, [] { ComInit->Button2->click(); },
       "TREMO", [] { return RcvInit->Panel1->Caption(); }, QStringLiteral("Při čtení parametrů došlo k chybě"),
       [] { RcvInit->Button1->click(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartLoggedIn();
    const bool login = c.opener() == ZOV->ComIni;
    if (login) Rx().PressReset();  // a new connect finds the receiver just reset
    std::vector<std::string> sent;  // by the program, once the case has begun
    bool armed = false;
    const auto watch = QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& bytes) {
      if (armed) sent.push_back(bytes);
    });
    const auto arm = [&] {
      Rx().ClearTraffic();
      armed = true;
    };
    QStringList boxes;
    QTimer closer;  // every error box, whichever side of the port reports the loss
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
        boxes << box->text();
        box->button(QMessageBox::Ok)->click();
      }
    });
    closer.start(5);
    if (!c.ready) arm();
    Script s;
    if (c.ready) {
      s.Then("ready", c.ready, [&] {
        arm();
        c.start();
      });
    }
    s.Then("the send before the wait",
           [&] { return armed && Rx().ReceivedText().find(c.dropAfter) != std::string::npos; },
           [&] { Rx().Vanish(); })
        .Then("the failure", [&] { return c.shown() == c.failure && !ZOV->Sleeper1->Sleeping(); }, c.leave);
    if (login) s.Then("the connection dialog", [] { return Running(ComInit); }, [] { ComInit->Button1->click(); });
    ASSERT_TRUE(s.Run([&] { c.opener()->click(); }, 30000));
    EXPECT_EQ(boxes.size(), 1) << boxes.join(" | ").toStdString();
    // Nothing went out after the send whose wait the loss ended.
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), c.dropAfter);
    QObject::disconnect(watch);
    TearDown();
  }
}
