#include "ui/Controls.h"

#include <QLineEdit>
#include <QPainter>
#include <QPalette>

QFont SansFont(int pixelSize, bool bold) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

QFont MonoFont(int pixelSize, bool bold) {
  QFont f(QStringLiteral("Liberation Mono"));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

TPanel::TPanel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setWordWrap(true);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  SetColor(ButtonFaceColor());
  SetFontColor(Qt::black);
}

QColor TPanel::Color() const { return palette().color(QPalette::Window); }

void TPanel::SetColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, color);
  setPalette(p);
}

QColor TPanel::FontColor() const { return palette().color(QPalette::WindowText); }

void TPanel::SetFontColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void TPanel::SetFlat(bool flat) { setFrameStyle(flat ? QFrame::NoFrame : (QFrame::Panel | QFrame::Raised)); }

void TImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  p.drawImage(QPoint(0, 0), picture_);
}

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {}
