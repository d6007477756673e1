#pragma once
// The operators' guide in a window of the program. F1 in any window of the
// program opens it: the main window, a dialog (also while it waits for the
// receiver), a message or a file dialog. The window stays above the one
// that opened it and answers while that one is modal. It shows the HTML
// that the build makes from docs/navod.md, with its pictures, from the
// files on disk: no browser and no network.
#include <QLabel>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

// Where the guide is, seen from the program's folder: the installed guide
// in the doc folder, or in the build tree the one the build made, which
// the build puts at the same place relative to the program.
QString GuideFile(const QString& programDir);

class TNavod : public QWidget {
 public:
  explicit TNavod(const QString& guideFile, QWidget* parent = nullptr);

  // The guide to show from the next opening on.
  void SetGuideFile(const QString& guideFile);
  const QString& GuideFileName() const { return guideFile_; }
  // Shows the guide above opener's window (raising it when it is shown
  // already), reading the guide first if it has not been read.
  void ShowFor(QWidget* opener);

  // The heading: the program, its version and its licence.
  QLabel* Panel1;
  QTextBrowser* Text;

 protected:
  // F1 anywhere in the program (TNavod watches the application's events).
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Load();

  QString guideFile_;
  bool loaded_ = false;
};
