#pragma once
// The message dialog: one coloured panel with the message and an OK button.
// Its resting state, which every caller may rely on, is caption "Chyba", a
// red panel and white text. A caller sets the panel's text and shows the
// dialog; a caller that changes caption or colour restores them afterwards
// (ShowWith does all of that).
#include <QPushButton>

#include "app/Controls.h"
#include "app/Form.h"

class TChyba : public TForm {
 public:
  explicit TChyba(QWidget* parent = nullptr);

  // Sets the text and shows the dialog in its resting look.
  void ShowText(const QString& text);
  // Shows the text under another caption and panel colour, and restores the
  // resting state when the operator has pressed OK.
  void ShowWith(const QString& caption, const QColor& color, const QString& text);
  // Caption "Chyba", red panel, white text.
  void RestoreRestingState();

  void Button1Click();

  TPanel* Panel;
  QPushButton* Button1;
};

inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 128, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kWhite(255, 255, 255);
inline const QColor kYellow(255, 255, 0);
