// The windows as the operator first meets them: the main window's state
// right after start, and what every window has in common.
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "AppTest.h"
#include "app/Chyba.h"
#include "app/Exit.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "connect/RcvInit.h"
#include "link/Sleeper.h"
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
  EXPECT_EQ(ZOV->size(), QSize(466, 285));
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

TEST_F(MainWindow, OwnsAClosedPortConfiguredForTheReceiverAndTheDelay) {
  TComPort* port = ZOV->ComPort1;
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->Connected());
  EXPECT_EQ(port->Port(), "COM1");
  EXPECT_EQ(port->BaudRate(), br9600);
  EXPECT_EQ(port->DataBits(), dbEight);
  EXPECT_EQ(port->StopBits(), sbOneStopBit);
  EXPECT_EQ(port->Parity().Bits(), prNone);
  EXPECT_EQ(port->FlowControl().FlowControl(), fcNone);
  EXPECT_EQ(port->FlowControl().ControlDTR(), dtrDisable);
  EXPECT_EQ(port->FlowControl().ControlRTS(), rtsDisable);
  EXPECT_FALSE(port->FlowControl().OutDSRFlow());
  EXPECT_TRUE(port->DiscardNull());
  EXPECT_TRUE(port->Events() == (TComEvents{evRxChar, evRing}));
  EXPECT_EQ(port->SyncMethod(), smThreadSync);
  EXPECT_TRUE(static_cast<bool>(port->OnRxChar));
  EXPECT_FALSE(static_cast<bool>(port->OnRing));
  EXPECT_EQ(ZOV->Sleeper1->Interval(), 1000);
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
