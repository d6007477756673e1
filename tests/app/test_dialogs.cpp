// The message dialog's resting state and caller protocol, the exit
// confirmation, and the program's run from start to the operator's exit.
#include <QFileDialog>
#include <QPointer>
#include <QTest>
#include <QTranslator>

#include "AppTest.h"
#include "app/Chyba.h"
#include "app/Exit.h"
#include "app/Program.h"
#include "app/ZOV.h"
#include "serial/ComPort.h"

using MessageDialogWindow = WithForms;

TEST_F(MessageDialogWindow, RestsWithCaptionChybaRedPanelAndWhiteText) {
  EXPECT_EQ(Chyba->Caption(), QStringLiteral("Chyba"));
  EXPECT_EQ(Chyba->Panel->Color(), QColor(255, 0, 0));
  EXPECT_EQ(Chyba->Panel->FontColor(), QColor(255, 255, 255));
  EXPECT_EQ(Chyba->size(), QSize(300, 140));
  EXPECT_EQ(Chyba->Button1->text(), QStringLiteral("OK"));
}

TEST_F(MessageDialogWindow, ShowsTheTextUntilOkAndIsBackAtRestAfterTheSuccessReport) {
  QString captionShown;
  QColor colourShown;
  QString textShown;
  Later([&] {
    captionShown = Chyba->Caption();
    colourShown = Chyba->Panel->Color();
    textShown = Chyba->Panel->Caption();
    QTest::mouseClick(Chyba->Button1, Qt::LeftButton);
  });
  Chyba->ShowWith(QStringLiteral("OK"), kGreen, QStringLiteral("Přijímač připojen v pořádku"));
  EXPECT_EQ(captionShown, QStringLiteral("OK"));
  EXPECT_EQ(colourShown, QColor(0, 128, 0));
  EXPECT_EQ(textShown, QStringLiteral("Přijímač připojen v pořádku"));
  EXPECT_FALSE(Chyba->isVisible());

  // The next caller sets only the text and gets the error look.
  Later([&] {
    captionShown = Chyba->Caption();
    colourShown = Chyba->Panel->Color();
    textShown = Chyba->Panel->Caption();
    Chyba->Button1->click();
  });
  Chyba->ShowText(QStringLiteral("Nepovolený vstup"));
  EXPECT_EQ(captionShown, QStringLiteral("Chyba"));
  EXPECT_EQ(colourShown, QColor(255, 0, 0));
  EXPECT_EQ(textShown, QStringLiteral("Nepovolený vstup"));
  EXPECT_EQ(Chyba->Panel->FontColor(), QColor(255, 255, 255));
}

using ExitConfirmation = WithForms;

TEST_F(ExitConfirmation, OpensWithStornoFocusedAndStornoChangesNothing) {
  EXPECT_EQ(Exit->Panel1->Caption(), QStringLiteral("Opravdu chcete program ukončit ?"));
  EXPECT_EQ(Exit->Panel1->Color(), QColor(0, 0, 255));
  EXPECT_EQ(Exit->Panel1->FontColor(), QColor(255, 255, 255));
  EXPECT_EQ(Exit->OK->text(), QStringLiteral("OK"));
  EXPECT_EQ(Exit->Storno->text(), QStringLiteral("Storno"));

  ZOV->Params->setEnabled(true);  // as after a login
  ZOV->ComPort1->SetPort("COM7");
  QWidget* focusAtOpen = nullptr;
  bool mainRunningAfterStorno = false;
  bool exitOpenedTwice = false;
  Later([&] {
    ZOV->Konec->click();  // opens Exit on top
  });
  Later([&] {
    (void)QTest::qWaitForWindowActive(Exit);
    focusAtOpen = QApplication::focusWidget();
    // Space presses the focused button: Storno.
    QTest::keyClick(focusAtOpen, Qt::Key_Space);
    Later([&] {
      mainRunningAfterStorno = ZOV->Running() && ZOV->isVisible() && !Exit->isVisible();
      // Storno again from a second opening: the focus is back on Storno.
      Later([&] {
        // The button that has the focus whenever the dialog is active.
        exitOpenedTwice = Exit->isVisible() && Exit->focusWidget() == Exit->Storno;
        Exit->Storno->click();
        Later([&] { ZOV->Close(); });
      });
      Exit->OK->setFocus();  // left elsewhere: the opening must put it back
      ZOV->Konec->click();
    });
  }, 10);
  ZOV->Run();
  EXPECT_EQ(focusAtOpen, Exit->Storno);
  EXPECT_TRUE(mainRunningAfterStorno);
  EXPECT_TRUE(exitOpenedTwice);
  EXPECT_TRUE(ZOV->Params->isEnabled());
  EXPECT_FALSE(ZOV->Tim->isEnabled());
  EXPECT_EQ(ZOV->ComPort1->Port(), "COM7");
}

// The whole program in this process: start, "Ukončit program", OK.
TEST(Program, OkInTheExitConfirmationEndsWithCodeZeroAndDestroysEveryWindow) {
  QPointer<TComPort> port;
  QPointer<TZOV> mainWindow;
  QPointer<TExit> exitWindow;
  bool mainWasShown = false;
  Later([&] {
    mainWindow = ZOV;
    exitWindow = Exit;
    port = ZOV->ComPort1;
    mainWasShown = ZOV->isVisible();
    ZOV->Konec->click();
  });
  Later([&] { Exit->OK->click(); }, 20);
  const int code = RunProgram();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(mainWasShown);
  EXPECT_TRUE(mainWindow.isNull());
  EXPECT_TRUE(exitWindow.isNull());
  EXPECT_TRUE(port.isNull());
  EXPECT_EQ(ZOV, nullptr);
  EXPECT_EQ(Exit, nullptr);
  EXPECT_EQ(Chyba, nullptr);
}

// Qt's own dialogs in Czech, from Debian's qt6-translations-l10n (scripts/deps).
TEST(Program, LoadsQtsCzechForTheStandardDialogs) {
  QTranslator czech;
  ASSERT_TRUE(LoadQtCzech(czech));
  QFileDialog save;
  save.setOption(QFileDialog::DontUseNativeDialog);
  save.setAcceptMode(QFileDialog::AcceptSave);
  EXPECT_EQ(save.windowTitle(), QStringLiteral("Uložit jako"));
  QMessageBox question(QMessageBox::Warning, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(question.button(QMessageBox::Yes)->text(), QStringLiteral("&Ano"));
}
