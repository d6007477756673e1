// The windows as the operator first meets them: the main window's state
// right after start, and what every window has in common.
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "AppTest.h"
#include "app/Chyba.h"
#include "app/Exit.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "connect/RcvInit.h"
#include "link/Channel.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"
#include "portselect/ComComboBox.h"
#include "serial/ComPort.h"
#include "portmap/PortMap.h"

namespace {

std::vector<TForm*> AllForms() {
  return {ZOV, RcvInit, Chyba, Parametry, Mon, SetTim, ComInit, Exit};
}

}  // namespace

using MainWindow = WithForms;

TEST_F(MainWindow, StartsWithOnlyConnectAndExitEnabledAndFocusOnConnect) {
  EXPECT_EQ(ZOV->Caption(), QStringLiteral("ZOV Q5r (v.4.03)"));
  EXPECT_EQ(ZOV->size(), QSize(466, 311));
  EXPECT_EQ(ZOV->Stav->Caption(), QStringLiteral("COM1 · nepřipojeno"));
  EXPECT_EQ(ZOV->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(ZOV->Panel2->Caption(), QStringLiteral("Nastavení přijímače ZOV"));
  EXPECT_EQ(ZOV->Panel2->Color(), QColor(0, 0, 255));
  EXPECT_EQ(ZOV->Panel2->FontColor(), QColor(255, 255, 0));
  EXPECT_TRUE(ZOV->Panel2->font().bold());
  EXPECT_EQ(ZOV->Panel2->font().pixelSize(), 15);

  struct Expect {
    QPushButton* button;
    const char* text;
    QRect geometry;
    bool enabled;
  };
  const Expect buttons[] = {
      {ZOV->ComIni, "Připojení přijímače", QRect(237, 61, 215, 27), true},
      {ZOV->Params, "Parametry přijímače", QRect(237, 115, 215, 27), false},
      {ZOV->Tim, "Hodiny přijímače", QRect(237, 148, 215, 28), false},
      {ZOV->Monitor, "Monitor přijímače", QRect(237, 183, 215, 27), false},
      {ZOV->Konec, "Ukončit program", QRect(237, 237, 215, 33), true},
  };
  for (const Expect& e : buttons) {
    EXPECT_EQ(e.button->text(), QString::fromUtf8(e.text));
    EXPECT_EQ(e.button->geometry(), e.geometry) << e.text;
    EXPECT_EQ(e.button->isEnabled(), e.enabled) << e.text;
    EXPECT_TRUE(e.button->font().bold()) << e.text;
    EXPECT_EQ(e.button->font().family(), QStringLiteral("Liberation Sans")) << e.text;
  }

  QWidget* focused = nullptr;
  Later([&] {
    (void)QTest::qWaitForWindowActive(ZOV);
    focused = QApplication::focusWidget();
    ZOV->Close();
  });
  ZOV->Run();
  EXPECT_EQ(focused, ZOV->ComIni);
}

TEST_F(MainWindow, TabRunsThroughTheButtonsInOrderSkippingDisabledOnes) {
  std::vector<QWidget*> seen;
  Later([&] {
    (void)QTest::qWaitForWindowActive(ZOV);
    // Right after start the receiver buttons are skipped.
    seen.push_back(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen.push_back(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    seen.push_back(QApplication::focusWidget());
    // With them enabled (after a login) the order is the layout's.
    for (QPushButton* b : {ZOV->Params, ZOV->Tim, ZOV->Monitor}) b->setEnabled(true);
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen.push_back(QApplication::focusWidget());
    }
    ZOV->Close();
  });
  ZOV->Run();
  const std::vector<QWidget*> expected = {ZOV->ComIni, ZOV->Konec,   ZOV->ComIni, ZOV->Params,
                                          ZOV->Tim,    ZOV->Monitor, ZOV->Konec,  ZOV->ComIni};
  EXPECT_EQ(seen, expected);
}

// What the main window's port does to the line when the operator connects:
// the far side of a pseudo-terminal published as COM1 sees the line as the
// port set it up (tcgetattr on the master gives the slave's settings).
TEST_F(MainWindow, ItsPortOpensCom1At9600EightNoneOneWithoutFlowControlAndDropsNuls) {
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  serial::PublishPort(1, name);
  TComPort* port = ZOV->ComPort1;
  EXPECT_FALSE(port->Connected());  // until the operator connects
  port->OpenPort();
  ASSERT_TRUE(port->Connected());

  termios t{};
  ASSERT_EQ(::tcgetattr(master, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_EQ(::cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  // A pty clears PARENB itself; the parity check and the odd, mark and
  // space bits survive.
  EXPECT_FALSE(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS));
  EXPECT_FALSE(t.c_iflag & (INPCK | IXON | IXOFF | IXANY));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));  // raw: every byte as it comes
  EXPECT_FALSE(t.c_oflag & OPOST);
  // A pty has no modem lines and no parity of its own: the block the port
  // hands its device holds DTR and RTS off and asks for no parity.
  const TDCB d = port->DeviceControlBlock();
  EXPECT_EQ((d.Flags >> dcb::fDtrControlShift) & 3u, 0u);
  EXPECT_EQ((d.Flags >> dcb::fRtsControlShift) & 3u, 0u);
  EXPECT_EQ(d.Parity, 0);

  // Received NULs never reach the receive text, whatever comes around them.
  RxText().Clear();
  const std::string sent("A\0B\0\0C", 6);
  ASSERT_EQ(::write(master, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
  EXPECT_TRUE(WaitUntil([] { return RxText().Text().size() >= 3; }));
  EXPECT_EQ(RxText().Text(), "ABC");

  port->ClosePort();
  ::close(master);
  serial::UnpublishPort(1);
}

using Windows = WithForms;

TEST_F(Windows, AreCreatedOnceInOrderWithTheirCaptions) {
  const std::vector<TForm*> forms = AllForms();
  for (size_t i = 1; i < forms.size(); ++i) {
    ASSERT_NE(forms[i], nullptr);
    EXPECT_EQ(forms[i]->CreationIndex(), forms[i - 1]->CreationIndex() + 1) << i;
  }
  EXPECT_EQ(RcvInit->Caption(), QStringLiteral("Reset přijímače"));
  EXPECT_EQ(Chyba->Caption(), QStringLiteral("Chyba"));
  EXPECT_EQ(Parametry->Caption(), QStringLiteral("Parametry přijímače"));
  EXPECT_EQ(Mon->Caption(), QStringLiteral("Monitor přijímače"));
  EXPECT_EQ(SetTim->Caption(), QStringLiteral("Hodiny přijímače"));
  EXPECT_EQ(ComInit->Caption(), QStringLiteral("Nastavení seriového portu"));
  EXPECT_EQ(Exit->Caption(), QStringLiteral("Ukončení programu"));
  // Nothing is visible before the main window is shown.
  for (TForm* f : forms) EXPECT_FALSE(f->isVisible());
}

TEST_F(Windows, AreFixedInSizeWithoutCaptionButtonsAndCentredWhenShown) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  for (TForm* f : AllForms()) {
    const Qt::WindowFlags flags = f->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << f->Caption().toStdString();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(f->minimumSize(), f->maximumSize());

    QPoint centre;
    // A receiver dialog reads from the receiver when it opens; with no port
    // open it reports that in the error box first.
    std::function<void()> closeIt = [&] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) box->done(QMessageBox::Ok);
      if (!f->Running()) {
        Later(closeIt, 10);
        return;
      }
      centre = f->frameGeometry().center();
      f->Close();
    };
    Later(closeIt);
    f == ZOV ? f->Run() : (void)f->ShowModal();
    EXPECT_LE((centre - screen.center()).manhattanLength(), 2) << f->Caption().toStdString();
  }
}

// Every dialog and message box belongs to the window it was opened from, so
// no window manager raises that window over it: the parameters dialog to
// the main window, the error box its read-out brings (no port is open) and
// the message dialog to the parameters dialog.
TEST_F(Windows, DialogsAndBoxesStayAboveTheWindowThatOpenedThem) {
  const auto transientParent = [](QWidget* w) { return w->windowHandle() ? w->windowHandle()->transientParent() : nullptr; };
  QWindow *dialogsOwner = nullptr, *chybasOwner = nullptr;
  QWidget* boxesParent = nullptr;
  Script s;
  s.Then("the main window", [] { return ZOV->isVisible(); }, [] { ZOV->Params->setEnabled(true); ZOV->Params->click(); })
      .Then("the error box", [] { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr; },
            [&] {
              boxesParent = ActiveModal()->parentWidget();
              dialogsOwner = transientParent(Parametry);
              PressMessageBoxOk();
            })
      .Then("the dialog", [] { return ActiveModal() == Parametry && Parametry->Running(); },
            [] { Chyba->ShowText(QStringLiteral("Zpráva")); })
      .Then("the message", [] { return ActiveModal() == Chyba; },
            [&] {
              chybasOwner = transientParent(Chyba);
              Chyba->Button1->click();
            })
      .Then("the dialog again", [] { return ActiveModal() == Parametry; }, [] { Parametry->Button2->click(); })
      .Then("closed", [] { return !ActiveModal(); }, [] { ZOV->Close(); });
  ASSERT_TRUE(s.Run([] { ZOV->Run(); }));
  EXPECT_EQ(dialogsOwner, ZOV->windowHandle());
  EXPECT_EQ(boxesParent, Parametry);
  EXPECT_EQ(chybasOwner, Parametry->windowHandle());
}

TEST_F(Windows, IgnoreTheWindowManagersCloseAndEscape) {
  bool visibleAfterClose = false;
  bool visibleAfterEscape = false;
  Later([&] {
    Exit->close();  // what the window manager's close ends in
    QTest::keyClick(Exit, Qt::Key_Escape);
    Later([&] {
      visibleAfterClose = Exit->isVisible();
      visibleAfterEscape = Exit->isVisible() && Exit->Running();
      Exit->Storno->click();
    });
  });
  Exit->ShowModal();
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_FALSE(Exit->isVisible());
}

// The modal protocol of every dialog, on a dialog of its own.
namespace {
class Probe : public TForm {
 public:
  Probe() : TForm(100, 50) {}
  std::function<void()> onActivate;
  int closes = 0;
  void FormActivate() override {
    if (onActivate) onActivate();
  }
  void FormClose() override { ++closes; }
};
}  // namespace

TEST(ModalDialog, ACloseRequestedWhileItsOpeningHandlerRunsIsDropped) {
  Probe probe;
  bool stillOpen = false;
  probe.onActivate = [&] {
    probe.Close();
    // A wait inside the opening handler keeps the loop turning.
    QEventLoop wait;
    QTimer::singleShot(20, &wait, &QEventLoop::quit);
    wait.exec();
    Later([&] {
      stillOpen = probe.isVisible() && probe.Running();
      probe.Close();
    }, 20);
  };
  probe.ShowModal();
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(probe.closes, 1);
  EXPECT_FALSE(probe.isVisible());
}

TEST(ModalDialog, ACloseFromAHandlerTakesEffectWhenTheHandlerHasFinished) {
  Probe outer;
  Probe inner;
  bool outerVisibleDuringInner = false;
  Later([&] {
    // A handler of the outer dialog closes it and then shows another dialog
    // on top: the outer one stays on screen until the handler returns.
    outer.Close();
    Later([&] {
      outerVisibleDuringInner = outer.isVisible();
      inner.Close();
    });
    inner.ShowModal();
  });
  outer.ShowModal();
  EXPECT_TRUE(outerVisibleDuringInner);
  EXPECT_EQ(outer.closes, 1);
  EXPECT_EQ(inner.closes, 1);
}

// A window destroyed by a handler that runs in its own loop (at the end of
// the program): the loop returns and nothing of the freed window is touched
// (the address sanitizer build sees any touch).
TEST(ModalDialog, DestroyedWhileItsLoopRunsReturnsWithoutTouchingIt) {
  auto* probe = new Probe;
  Later([&] { delete probe; });
  probe->ShowModal();
  SUCCEED();
}

TEST(ConnectionDialog, ListsThePortsShowsCom1AndPutsTheChoiceIntoTheMainWindowsPort) {
  // Two ports in the test's own port map.
  serial::PublishPort(1, "/dev/null");
  serial::PublishPort(3, "/dev/null");
  CreateForms();
  TComComboBox* box = ComInit->ComComboBox1;
  EXPECT_EQ(box->geometry(), QRect(213, 17, 74, 24));
  EXPECT_EQ(box->ComPort(), ZOV->ComPort1);
  EXPECT_EQ(box->ComProperty(), cpPort);
  EXPECT_TRUE(box->AutoApply());
  EXPECT_GE(box->findText(QStringLiteral("COM3")), 0);
  EXPECT_EQ(box->Text(), QStringLiteral("COM1"));

  box->setFocus();
  // The operator steps down the list to COM3 (ports of this machine may
  // stand between).
  for (int i = 0; i < 16 && box->Text() != QStringLiteral("COM3"); ++i) QTest::keyClick(box, Qt::Key_Down);
  ASSERT_EQ(box->Text(), QStringLiteral("COM3"));
  EXPECT_EQ(ZOV->ComPort1->Port(), "COM3");
  DestroyForms();
  serial::UnpublishPort(1);
  serial::UnpublishPort(3);
}
