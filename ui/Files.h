#pragma once
// The file dialog with which the dialogs ask for the files they save and
// open. Saving and reading them is files/Files.h's.
#include <QString>

class QWidget;

struct TFileQuestion {
  bool Save = true;   // a save dialog, or an open one (existing files only)
  QString Title;      // the window's title; empty for Qt's own
  QString Filter;     // e.g. "Sady parametrů (*.q5r)"; empty for every file
  QString Suffix;     // added to a name typed without one
  QString Suggested;  // a save: the file offered; an open: the folder it starts in
};

// Qt's own file dialog, the same on every desktop (Qt's translation gives
// its texts), made for this question only: while it exists it watches its
// folder. A save asks before it replaces a file. The file chosen, or an
// empty text when the operator cancels.
QString AskFileName(QWidget* parent, const TFileQuestion& question);
