#pragma once
// The program's message dialog as the other windows use it: one coloured
// panel with the message and an OK button. Its resting look, which every
// caller may rely on, is caption "Chyba", a red panel and white text. The
// program installs its one message dialog at start.
#include <QColor>
#include <QString>

class TMessageDialog {
 public:
  // Shows the text in the resting look and returns when OK is pressed.
  virtual void ShowText(const QString& text) = 0;
  // Shows the text under another caption and panel colour, and restores the
  // resting look when the operator has pressed OK.
  virtual void ShowWith(const QString& caption, const QColor& color, const QString& text) = 0;
  // Caption "Chyba", red panel, white text.
  virtual void RestoreRestingState() = 0;

 protected:
  ~TMessageDialog() = default;
};

// The installed message dialog; throws std::logic_error when there is none.
TMessageDialog& MessageDialog();
void InstallMessageDialog(TMessageDialog* dialog);
