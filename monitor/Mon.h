#pragma once
// The monitor dialog. Its memo Memo1 shows the receive text, the one buffer
// every received character goes into (the command channel holds it), and its
// indicator Indik the channel's activity counter.
//
// Each opening reads the receiver's monitor out (monitor/Readout.h): the
// receive text is cleared and hidden behind the status panel and the
// warning, the monitor comes in, and once the closing prompt is there the
// memo shows the monitor lines and they can be saved (monitor/MonitorFile.h)
// or the receiver's monitor cleared.
#include <QDateTime>
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

  // Starts a read-out: indicator at 0 and the warning shown, the receive
  // text cleared and hidden, save and clear disabled; a carriage return must
  // bring the prompt, then "m" goes out and the completion watch starts.
  // Without the prompt, or when the port fails (during the opening or the
  // watch), the read-out has failed.
  void FormActivate() override;
  // One look of the completion watch: the monitor shown once the closing
  // prompt is in, the read-out failed at the 40th look without it.
  void Timer1Timer();
  void Button1Click();  // "OK": closes (during the opening's waits the request is dropped)
  // "Uložit do souboru": the monitor into a file of the operator's choice;
  // the line below the buttons says where it went.
  void Button2Click();
  // "Nulovat monitor": "n" to the receiver, recorded in the write log, then
  // close; when clearing is to be confirmed, only after a yes to the question
  // (Enter answers no).
  void NulClick();
  // Whether "Nulovat monitor" asks before it clears (off at creation).
  void SetConfirmClear(bool confirm) { confirmClear_ = confirm; }
  void FormClose() override;  // stops the watch; late monitor lines still go into the receive text

  TTrackBar* Indik;
  QTextEdit* Memo2;
  TPanel* Panel1;
  TPanel* Panel;
  TRxMemo* Memo1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Nul;
  QTimer* Timer1;  // completion watch of the read-out, 1000 ms
  TPanel* Ulozeno;  // below the buttons: "Uloženo do <file>" after a save

 private:
  void ShowReadFailure();

  int ticks_ = 0;  // the watch's tick counter
  QDateTime readAt_;  // when the read-out shown was complete
  QString folder_;    // of the last save; the working folder before one
  QString savedTo_;   // where the read-out shown was saved, "" when it was not
  bool confirmClear_ = false;
};
