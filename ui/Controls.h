#pragma once
// The small set of control kinds the windows are laid out with, on top of
// Qt widgets: a captioned panel with a background colour, a picture that is
// drawn unscaled from its top-left corner, a spin edit with a free text, and
// helpers for the fonts and the pixel geometry the dialogs are designed in.
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QString>
#include <QWidget>

#include "ui/Colors.h"

// Liberation Sans and Liberation Mono stand in for Arial and Courier New:
// they have the same metrics.
QFont SansFont(int pixelSize, bool bold = false);
QFont MonoFont(int pixelSize, bool bold = false);

// A panel: a rectangle with a caption centred in it, a background colour
// and a text colour. Bevelled (raised) unless made flat.
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

// A spin edit: steps by one inside its range with its arrow buttons.
class TSpinEdit : public QSpinBox {
 public:
  explicit TSpinEdit(QWidget* parent = nullptr);
  QString Text() const { return lineEdit()->text(); }
  void SetText(const QString& text) { lineEdit()->setText(text); }
};

// Places a control at left, top with width and height in pixels.
inline void SetBounds(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(left, top, width, height);
}
