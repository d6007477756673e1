// The connection dialog: what each opening sets, the operator code checks,
// a port that cannot be opened, and the port selector bound to the main
// window's port.
#include <QApplication>
#include <QTest>

#include "LoginFixture.h"
#include "app/Chyba.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "link/Login.h"
#include "connect/RcvInit.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"
#include "serial/ComPort.h"
#include "portmap/PortMap.h"

TEST_F(LoginTest, EveryOpeningShowsCode100DisabledFocusOnConnectAndKeepsOtherDialogsControlsAway) {
  Start();
  // Whatever an earlier use left.
  OperatorCode = 7;
  ComInit->Usr->setEnabled(true);
  ComInit->Usr->setText(QStringLiteral("42"));
  Parametry->Ser1->setEnabled(true);
  Parametry->Ser2->setEnabled(true);
  ASSERT_FALSE(Parametry->Default->isHidden());
  ASSERT_FALSE(Mon->Nul->isHidden());
  struct {
    QString usr;
    bool usrEnabled = true;
    int code = 0;
    QWidget* focus = nullptr;
    std::vector<QWidget*> tabs;
  } seen;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit && QApplication::focusWidget(); },
         [&] {
           seen.usr = ComInit->Usr->text();
           seen.usrEnabled = ComInit->Usr->isEnabled();
           seen.code = OperatorCode;
           seen.focus = QApplication::focusWidget();
           // Tab goes round the enabled controls in their order.
           for (int i = 0; i < 3; ++i) {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
             seen.tabs.push_back(QApplication::focusWidget());
           }
           ComInit->Usr->setText(QStringLiteral("3"));
           ComInit->Button1->setFocus();
           ComInit->Button1->click();
         })
      .Then("the connection dialog again", [] { return ActiveModal() == ComInit; },
            [&] {
              seen.usr += "," + ComInit->Usr->text();
              // The offscreen platform does not hand the focus back to a
              // window shown again; the window's own focus is what it gets.
              seen.focus = ComInit->focusWidget() == seen.focus ? seen.focus : nullptr;
              ComInit->Button1->click();
            });
  ASSERT_TRUE(s.Run([] {
    ZOV->ComIni->click();
    ZOV->ComIni->click();
  }));

  EXPECT_EQ(seen.usr, QStringLiteral("100,100"));
  EXPECT_FALSE(seen.usrEnabled);
  EXPECT_EQ(seen.code, 100);
  EXPECT_EQ(seen.focus, ComInit->Button2);
  EXPECT_EQ(seen.tabs, (std::vector<QWidget*>{ComInit->ComComboBox1, ComInit->Button1, ComInit->Button2}));
  EXPECT_TRUE(Parametry->Default->isHidden());
  EXPECT_TRUE(Mon->Nul->isHidden());
  EXPECT_FALSE(Parametry->Ser1->isEnabled());
  EXPECT_FALSE(Parametry->Ser2->isEnabled());
  // Storno leaves the port as it was: never opened.
  EXPECT_FALSE(ZOV->ComPort1->Connected());
  EXPECT_TRUE(portEvents.empty());
}

TEST_F(LoginTest, CodesOutsideOneTo254AndNonNumbersAreRefusedWithoutTouchingThePort) {
  Start();
  std::vector<QString> captions, texts;
  std::vector<QColor> colours;
  QString conversionError;
  bool usrOnOpen = false;
  auto enter = [](const char* code) {
    return [code] {
      ComInit->Usr->setText(QString::fromLatin1(code));
      ComInit->Button2->click();
    };
  };
  auto record = [&] {
    captions.push_back(Chyba->Caption());
    colours.push_back(Chyba->Panel->Color());
    texts.push_back(Chyba->Panel->Caption());
    Chyba->Button1->click();
  };
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, enter("0"))
      .Then("the message for 0", [] { return ActiveModal() == Chyba; }, record)
      .Then("back", [] { return ActiveModal() == ComInit; }, enter("255"))
      .Then("the message for 255", [] { return ActiveModal() == Chyba; }, record)
      .Then("back again", [] { return ActiveModal() == ComInit; }, enter("1x"))
      .Then("the conversion error", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              conversionError = MessageBoxText();
              PressMessageBoxOk();
            })
      .Then("still there", [] { return ActiveModal() == ComInit; },
            [&] {
              usrOnOpen = ComInit->isVisible() && !RcvInit->isVisible();
              ComInit->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));

  ASSERT_EQ(texts.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(captions[i], QStringLiteral("Chyba"));
    EXPECT_EQ(colours[i], QColor(255, 0, 0));
    EXPECT_EQ(texts[i], QStringLiteral("Nepovolený vstup"));
  }
  EXPECT_EQ(conversionError, QStringLiteral("'1x' is not a valid integer value"));
  EXPECT_TRUE(usrOnOpen);
  EXPECT_TRUE(portEvents.empty());
  EXPECT_FALSE(ZOV->ComPort1->Connected());
  EXPECT_EQ(OperatorCode, 100);
}

// A COM name that stands for nothing, and one pinned to a device that is
// not there.
class PortThatCannotOpen : public LoginTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PortThatCannotOpen, ShowsTheErrorKeepsTheDialogAndTheOperatorCode) {
  Start();
  serial::PublishPort(8, "/nonexistent/ttyZOV8");
  ZOV->ComPort1->SetPort(GetParam());
  watcher.WatchShown(RcvInit);
  QString error;
  bool dialogStays = false;
  int codeAfter = -1;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; },
         [] {
           ComInit->Usr->setText(QStringLiteral("42"));
           ComInit->Button2->click();
         })
      .Then("the error box", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              error = MessageBoxText();
              PressMessageBoxOk();
            })
      .Then("back in the connection dialog", [] { return ActiveModal() == ComInit; },
            [&] {
              dialogStays = true;
              codeAfter = OperatorCode;
              ComInit->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
  EXPECT_TRUE(error.startsWith(QStringLiteral("Unable to open com port (win error code: 2)"))) << error.toStdString();
  EXPECT_TRUE(dialogStays);
  EXPECT_EQ(codeAfter, 100);
  EXPECT_EQ(watcher.shown.count(RcvInit), 0u);
  EXPECT_FALSE(ZOV->ComPort1->Connected());
}

INSTANTIATE_TEST_SUITE_P(Names, PortThatCannotOpen, ::testing::Values("COM9", "COM8"));

TEST_F(LoginTest, ThePortSelectorIsBoundToTheMainWindowsPortAndReopensItAtEveryKeyStep) {
  Start(3);
  EXPECT_EQ(ComInit->ComComboBox1->ComPort(), ZOV->ComPort1);
  EXPECT_EQ(ComInit->ComComboBox1->ComProperty(), cpPort);
  EXPECT_TRUE(ComInit->ComComboBox1->AutoApply());
  EXPECT_EQ(ComInit->ComComboBox1->Text(), QStringLiteral("COM1"));

  std::vector<std::string> eventsAtKeys;
  std::string portAfterKeys;
  QString textAfterKeys;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("the reset dialog", [] { return ActiveModal() == RcvInit; }, [] { RcvInit->Button1->click(); })
      .Then("back with the port open", [] { return ActiveModal() == ComInit; },
            [&] {
              QTest::keyClick(ComInit->ComComboBox1, Qt::Key_Down);
              QTest::keyClick(ComInit->ComComboBox1, Qt::Key_Down);
              eventsAtKeys = portEvents;
              portAfterKeys = ZOV->ComPort1->Port();
              textAfterKeys = ComInit->ComComboBox1->Text();
              ZOV->ComPort1->SendText("x");
            })
      .Then("the third receiver hears it", [&] { return Rx(2).ReceivedText() == "x"; },
            [] { ComInit->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));

  EXPECT_EQ(eventsAtKeys,
            (std::vector<std::string>{"open COM1", "close", "open COM2", "close", "open COM3"}));
  EXPECT_EQ(portAfterKeys, "COM3");
  EXPECT_EQ(textAfterKeys, QStringLiteral("COM3"));
  EXPECT_TRUE(ZOV->ComPort1->Connected());
  EXPECT_EQ(Rx(1).ReceivedText(), "");
  EXPECT_EQ(Rx(0).ReceivedText().find('x'), std::string::npos);
}
