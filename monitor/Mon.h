#pragma once
// The monitor dialog. Its memo Memo1 shows the receive text, the one buffer
// every received character goes into, which this dialog holds.
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>
#include <QTimer>

#include "app/Controls.h"
#include "app/Form.h"
#include "link/ReceiveText.h"
#include "monitor/RxMemo.h"

class TMon : public TForm {
 public:
  explicit TMon(QWidget* parent = nullptr);

  TReceiveText RxText;  // before Memo1, which shows it

  QSlider* Indik;
  QTextEdit* Memo2;
  TPanel* Panel1;
  TPanel* Panel;
  TRxMemo* Memo1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Nul;
  QTimer* Timer1;  // completion watch of the read-out, 1000 ms
};
