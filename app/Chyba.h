#pragma once
// The message dialog: one coloured panel with the message and an OK button.
// Its resting state, which every caller may rely on, is caption "Chyba", a
// red panel and white text. A caller sets the panel's text and shows the
// dialog; a caller that changes caption or colour restores them afterwards
// (ShowWith does all of that).
#include <QPushButton>

#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/MessageDialog.h"

class TChyba : public TForm, public TMessageDialog {
 public:
  explicit TChyba(QWidget* parent = nullptr);

  void ShowText(const QString& text) override;
  void ShowWith(const QString& caption, const QColor& color, const QString& text) override;
  void RestoreRestingState() override;

  void Button1Click();

  TPanel* Panel;
  QPushButton* Button1;

 private:
  // Shows the panel's message; under the caption "Chyba" it is an error,
  // and whoever hears of the errors shown hears of it first.
  void ShowMessage();
  // The window as at rest, or taller for a message that needs more lines.
  void FitText();
};
