// The application's standard error display: an error ends its handler, its
// text is shown in an error box, and the program carries on.
#include <QPushButton>
#include <cerrno>
#include <cstring>

#include "AppTest.h"
#include "convert/IntConversion.h"
#include "ui/ErrorDisplay.h"
#include "portmap/PortMap.h"
#include "serial/ComPort.h"

TEST(ErrorText, APortErrorWithAnOsCauseAddsTheSystemsWordsAndAHint) {
  struct Case {
    int sysErrno;
    int winCode;
    const char* hintWord;
  };
  const Case cases[] = {{EACCES, 5, "dialout"}, {EPERM, 5, "dialout"}, {EBUSY, 32, "jiný program"},
                        {EWOULDBLOCK, 32, "jiný program"}, {ENOENT, 2, "kabel"}, {ENODEV, 2, "mapu portů"}};
  for (const Case& c : cases) {
    const EComPort error(1, c.winCode, c.sysErrno);
    const QString text = ErrorBoxText(std::make_exception_ptr(error));
    const QStringList parts = text.split(QStringLiteral("\n\n"));
    ASSERT_EQ(parts.size(), 3) << text.toStdString();
    EXPECT_EQ(parts[0], QString::fromUtf8(error.what()));
    EXPECT_TRUE(parts[0].startsWith(QStringLiteral("Unable to open com port")));
    EXPECT_EQ(parts[1], QString::fromLocal8Bit(std::strerror(c.sysErrno)));
    EXPECT_TRUE(parts[2].contains(QString::fromUtf8(c.hintWord))) << parts[2].toStdString();
    // The port map named is the one in use ($XDG_CONFIG_HOME's here).
    if (c.winCode == 2) {
      EXPECT_TRUE(parts[2].endsWith("(" + QString::fromStdString(serial::PortMapDir().string()) + ")."));
    }
  }
}

TEST(ErrorText, OtherErrorsShowJustTheirText) {
  EXPECT_EQ(ErrorBoxText(std::make_exception_ptr(EComPort(3))), QString::fromStdString(EComPort(3).what()));
  // An OS code without an errno behind it: no system words, no hint.
  const EComPort noErrno(2, 31, 0);
  EXPECT_EQ(ErrorBoxText(std::make_exception_ptr(noErrno)), QString::fromUtf8(noErrno.what()));
  // An errno without a hint of ours still gets the system's words.
  const QString einval = ErrorBoxText(std::make_exception_ptr(EComPort(1, 87, EINVAL)));
  EXPECT_EQ(einval.split(QStringLiteral("\n\n")).size(), 2);
  EXPECT_EQ(ErrorBoxText(std::make_exception_ptr(EConvertError("'x' is not a valid integer value"))),
            QStringLiteral("'x' is not a valid integer value"));
  EXPECT_FALSE(ErrorBoxText(std::make_exception_ptr(42)).isEmpty());
}

TEST(ErrorDisplay, AnErrorEndsItsHandlerShowsItsTextAndTheLoopCarriesOn) {
  QPushButton button;
  bool afterThrow = false;
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] {
    Guarded([&] {
      ++clicks;
      if (clicks == 1) StrToInt("abc");
      afterThrow = true;
    });
  });
  SeenMessageBox box;
  bool loopAlive = false;
  QEventLoop loop;
  Later([&] {
    CloseNextMessageBox(&box, [&] {
      // The loop that ran the failing handler is still alive: a second
      // click is handled normally.
      button.click();
      loopAlive = true;
      loop.quit();
    });
    button.click();
  });
  loop.exec();
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.text, QStringLiteral("'abc' is not a valid integer value"));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_TRUE(loopAlive);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(afterThrow);  // only from the second click
}

TEST(ErrorDisplay, IsTheSerialComponentsErrorSink) {
  InstallApplicationErrorHandler();
  SeenMessageBox box;
  QEventLoop loop;
  Later([&] {
    CloseNextMessageBox(&box, [&] { loop.quit(); });
    ShowApplicationError(std::make_exception_ptr(EComPort(1, 5, EACCES)));
  });
  loop.exec();
  ASSERT_TRUE(box.seen);
  EXPECT_TRUE(box.text.startsWith(QStringLiteral("Unable to open com port (win error code: 5)")));
  EXPECT_TRUE(box.text.contains(QStringLiteral("dialout")));
}
