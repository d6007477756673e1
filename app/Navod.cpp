#include "app/Navod.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "ProgramInfo.h"
#include "ui/ErrorDisplay.h"

QString GuideFile(const QString& programDir) {
  // ZOV_GUIDE_FROM_PROGRAM (app/CMakeLists.txt) is the doc folder relative
  // to the programs' folder, the same for every installation prefix.
  return QDir::cleanPath(programDir + QStringLiteral("/" ZOV_GUIDE_FROM_PROGRAM "/navod.html"));
}

TNavod::TNavod(const QString& guideFile, QWidget* parent) : QWidget(parent, Qt::Window), guideFile_(guideFile) {
  setWindowTitle(QStringLiteral("Návod k programu ZOV Q5r"));
  resize(780, 640);
  auto* layout = new QVBoxLayout(this);
  Panel1 = new QLabel(this);
  Panel1->setWordWrap(true);
  Panel1->setText(QStringLiteral("ZOV Q5r (v." ZOV_VERSION ") · Licence " ZOV_LICENCE
                                 ": svobodný software, který smíte šířit a upravovat; bez jakékoli záruky."));
  Text = new QTextBrowser(this);
  // The guide's few links stay in the window; nothing is fetched from a
  // network, which the field seldom has.
  Text->setOpenExternalLinks(false);
  layout->addWidget(Panel1);
  layout->addWidget(Text, 1);
}

void TNavod::SetGuideFile(const QString& guideFile) {
  guideFile_ = guideFile;
  loaded_ = false;
}

void TNavod::ShowFor(QWidget* opener) {
  if (!loaded_) Load();
  QWidget* top = opener ? opener->window() : nullptr;
  if (top && top != this && top->windowHandle()) {
    // A transient window of the one that opened it: the window manager
    // keeps it above that one, and a dialog modal over the whole program
    // does not block its own transient windows, so the guide can be read
    // and scrolled while the dialog waits.
    winId();
    windowHandle()->setTransientParent(top->windowHandle());
  }
  show();
  // (The offscreen platform, the tests', cannot raise a window.)
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
  activateWindow();
}

void TNavod::Load() {
  const QFileInfo info(guideFile_);
  QFile file(guideFile_);
  QString why;
  if (!info.exists())
    why = QStringLiteral("soubor neexistuje");
  else if (!info.isFile())
    why = QStringLiteral("není to obyčejný soubor");
  else if (!file.open(QIODevice::ReadOnly))
    why = file.errorString();
  if (why.isEmpty()) {
    // The pictures (img/...) are found beside the guide.
    Text->setSearchPaths({info.absolutePath()});
    Text->setHtml(QString::fromUtf8(file.readAll()));
    loaded_ = true;
    return;
  }
  // Not marked as read: the next F1 looks again (the guide may be back).
  Text->setHtml(QStringLiteral("<p><b>Návod nelze otevřít: %1.</b></p>"
                               "<p>Program jej hledá v souboru %2, který instaluje balíček zov-q5r.</p>")
                    .arg(why.toHtmlEscaped(), guideFile_.toHtmlEscaped()));
}

bool TNavod::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
      auto* widget = static_cast<QWidget*>(watched);
      Guarded([this, widget] { ShowFor(widget); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TNavod::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}
