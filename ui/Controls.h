#pragma once
// The small set of control kinds the windows are laid out with, on top of
// Qt widgets: a captioned panel with a background colour, a picture that is
// drawn unscaled from its top-left corner, a spin edit that keeps a free
// text, and helpers for the fonts and the pixel geometry the dialogs are
// designed in.
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QString>
#include <QWidget>
#include <optional>

#include "ui/Colors.h"
#include "ui/MaskEdit.h"

// Liberation Sans and Liberation Mono stand in for Arial and Courier New:
// they have the same metrics.
QFont SansFont(int pixelSize, bool bold = false);
QFont MonoFont(int pixelSize, bool bold = false);

// A panel: a rectangle with a caption centred in it (plain text, whatever
// it holds), a background colour and a text colour. Bevelled (raised) unless made flat.
class TPanel : public QLabel {
 public:
  explicit TPanel(QWidget* parent = nullptr);
  QString Caption() const { return text(); }
  void SetCaption(const QString& caption) { setText(caption); }
  QColor Color() const;
  void SetColor(const QColor& color);
  QColor FontColor() const;
  void SetFontColor(const QColor& color);
  void SetFlat(bool flat);
};

// A picture: shows its image unscaled from the top-left corner; whatever
// does not fit in the control is cut off.
class TImage : public QWidget {
 public:
  explicit TImage(QWidget* parent = nullptr) : QWidget(parent) {}
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage picture_;
};

// A spin edit: a text field with two arrow buttons and a range.
// - Typing takes digits, the signs and the decimal separator only; any other
//   character is dropped (pasting too). The program may set any text.
// - The arrow buttons and the Up/Down keys step the number by one, held to
//   the range; a text that is not a number steps from the minimum.
// - When the operator leaves the field (as a TEdit is left, ui/MaskEdit.h),
//   a number outside the range becomes the nearest bound. A text that is
//   not a number stays as typed, for whoever converts it to refuse.
// "A number" is what the program's integer conversion accepts (StrToInt).
class TSpinEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TSpinEdit(QWidget* parent = nullptr);

  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  void SetRange(int min, int max);

  QString Text() const { return edit_->text(); }
  void SetText(const QString& text) { edit_->setText(text); }
  // The text's number, or nothing when the text is not one.
  std::optional<int> Number() const;
  // Steps by steps (+1 up, -1 down) as the arrows do.
  void StepBy(int steps);
  // Whether the operator has typed in the field since the program last set
  // its text.
  bool Edited() const { return edit_->isModified(); }
  // What leaving the field does: a number outside the range becomes the
  // nearest bound.
  void HoldToRange();

  // The field's background (the window colour, or silver when the field
  // stands for "all").
  QColor Color() const;
  void SetColor(const QColor& color);

  QLineEdit* Edit() const { return edit_; }
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  // Every change of the text, the program's included.
  void TextChanged(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool Accepts(const QString& typed) const;
  void PasteFiltered(const QString& text);

  TEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  int min_ = 0;
  int max_ = 99;
};

// Places a control at left, top with width and height in pixels.
inline void SetBounds(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(left, top, width, height);
}
