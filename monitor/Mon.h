#pragma once
// The monitor dialog. Its memo Memo1 shows the receive text, the one buffer
// every received character goes into (the command channel holds it), and its
// indicator Indik the channel's activity counter.
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "monitor/RxMemo.h"
#include "monitor/TrackBar.h"
#include "ui/Controls.h"
#include "ui/Form.h"

class TMon : public TForm {
 public:
  explicit TMon(QWidget* parent = nullptr);

  TTrackBar* Indik;
  QTextEdit* Memo2;
  TPanel* Panel1;
  TPanel* Panel;
  TRxMemo* Memo1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Nul;
  QTimer* Timer1;  // completion watch of the read-out, 1000 ms
};
