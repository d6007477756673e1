#include "monitor/TrackBar.h"

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  catchUp_.setSingleShot(true);
  catchUp_.setInterval(kCatchUpMs);
  connect(&catchUp_, &QTimer::timeout, this, [this] { setValue(position_); });
}

void TTrackBar::SetPosition(int position) {
  position_ = position;
  if (!catchUp_.isActive()) catchUp_.start();
}
