#pragma once
// A horizontal track bar for an indicator that moves very often. Its
// position follows every change at once; the slider's value, and with it the
// picture, catches up at most every kCatchUpMs. The monitor's activity
// indicator steps with every receive notification, about a thousand times a
// second during a read-out, and a slider's every value change costs a repaint
// and an accessibility update, more than all the rest of the notification's
// work.
#include <QSlider>
#include <QTimer>

class TTrackBar : public QSlider {
 public:
  static constexpr int kCatchUpMs = 40;

  explicit TTrackBar(QWidget* parent = nullptr);

  int Position() const { return position_; }
  void SetPosition(int position);

 private:
  QTimer catchUp_;
  int position_ = 0;
};
