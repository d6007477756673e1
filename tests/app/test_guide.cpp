// The guide window: F1 in a modal dialog opens the guide the build made,
// with every picture it shows, above that dialog and not blocked by it;
// where the guide is missing or is no file, the window says so and where
// it looked, and F1 never blocks on it.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QWindow>
#include <sys/stat.h>

#include "AppTest.h"
#include "app/Exit.h"
#include "app/Navod.h"
#include "app/ZOV.h"

namespace {

// Counts the times another window's modality blocked the one watched.
class TBlockedCount : public QObject {
 public:
  explicit TBlockedCount(QWidget* window) { window->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WindowBlocked) ++count;
    return false;
  }
};

// The pictures a document shows, by the names its HTML gives them.
QStringList ImageNames(const QTextDocument* document) {
  QStringList names;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) names << it.fragment().charFormat().toImageFormat().name();
  return names;
}

// The pictures docs/navod.md shows, in its order.
QStringList GuidePictures() {
  QFile guide(QStringLiteral(ZOV_GUIDE_SOURCE));
  if (!guide.open(QIODevice::ReadOnly)) return {};
  QStringList names;
  auto it = QRegularExpression(QStringLiteral(R"(\]\((img/[^)]+)\))")).globalMatch(QString::fromUtf8(guide.readAll()));
  while (it.hasNext()) names << it.next().captured(1);
  return names;
}

}  // namespace

using GuideWindow = WithForms;

TEST_F(GuideWindow, F1InAModalDialogOpensTheGuideWithItsPicturesAboveThatDialog) {
  // The guide the build made, found from the program's folder as the
  // program itself finds it.
  Navod->SetGuideFile(GuideFile(QFileInfo(QStringLiteral(ZOV_EXE)).absolutePath()));
  TBlockedCount blocked(Navod);
  QString title, heading;
  QWindow* above = nullptr;
  QStringList shown, unreadable;
  ASSERT_TRUE(Script()
                  .Then("the exit confirmation open",
                        [] { return Exit->isVisible() && QApplication::focusWidget() == Exit->Storno; },
                        [] { QTest::keyClick(Exit->Storno, Qt::Key_F1); })
                  .Then("the guide shown", [] { return Navod->isVisible(); },
                        [&] {
                          title = Navod->windowTitle();
                          heading = Navod->Panel1->text();
                          above = Navod->windowHandle()->transientParent();
                          shown = ImageNames(Navod->Text->document());
                          for (const QString& name : shown) {
                            const QVariant data = Navod->Text->loadResource(QTextDocument::ImageResource, QUrl(name));
                            if (QImage::fromData(data.toByteArray()).isNull()) unreadable << name;
                          }
                          Exit->Storno->click();
                        })
                  .Run([] { Exit->ShowModal(); }));
  EXPECT_EQ(title, QStringLiteral("Návod k programu ZOV Q5r"));
  EXPECT_TRUE(heading.contains(QStringLiteral("Licence GPL-3.0-or-later"))) << heading.toStdString();
  EXPECT_EQ(above, Exit->windowHandle());
  EXPECT_EQ(blocked.count, 0);  // readable while the dialog was modal
  EXPECT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown, GuidePictures());
  EXPECT_TRUE(unreadable.isEmpty()) << unreadable.join(QLatin1Char(' ')).toStdString();
  EXPECT_TRUE(Navod->isVisible());  // it stays when the dialog closes
}

TEST_F(GuideWindow, F1WithoutAGuideToReadSaysWhyAndWhereItLooked) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fifo = dir.filePath(QStringLiteral("fifo.html"));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  struct Case {
    QString file;
    QString why;
  };
  const Case cases[] = {
      {dir.filePath(QStringLiteral("missing/navod.html")), QStringLiteral("soubor neexistuje")},
      {dir.path(), QStringLiteral("není to obyčejný soubor")},
      // Opening a FIFO would wait for a writer: the window never does.
      {fifo, QStringLiteral("není to obyčejný soubor")},
  };
  for (const Case& c : cases) {
    Navod->SetGuideFile(c.file);
    QTest::keyClick(ZOV->ComIni, Qt::Key_F1);
    const QString text = Navod->Text->toPlainText();
    EXPECT_TRUE(Navod->isVisible()) << c.file.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Návod nelze otevřít: ") + c.why)) << text.toStdString();
    EXPECT_TRUE(text.contains(c.file)) << text.toStdString();
  }
}
