#pragma once
// The files the dialogs save and open: Qt's own file dialog to choose one,
// and a file written whole or not at all.
#include <QString>
#include <string_view>

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

// Writes bytes to fileName, replacing the file if it exists. The new content
// goes to a temporary file beside it that replaces the old file only once it
// is complete, so a failure (no such folder, no permission, a full disk, a
// file size limit) leaves the old file as it was: false then.
bool SaveWholeFile(const QString& fileName, std::string_view bytes);
