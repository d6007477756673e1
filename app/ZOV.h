#pragma once
// The main window: the logo and the five command buttons, and below them
// the status line of the line as the command channel keeps it (the port and
// its device, the receiver's serial number, whether it is logged in or the
// line was lost). It owns the one serial port object ComPort1 and the one
// delay object Sleeper1 that the command channel uses, and ComPort1's
// receive handler, which hands every notification to the channel.
#include <QPushButton>
#include <QFrame>

#include "ProgramInfo.h"
#include "ui/Controls.h"
#include "ui/Form.h"

class TComPort;
class TSleeper;

inline const char* const kMainCaption = "ZOV Q5r (v." ZOV_VERSION ")";

class TZOV : public TForm {
 public:
  explicit TZOV(QWidget* parent = nullptr);
  ~TZOV() override;
  // Closes and destroys ComPort1 (at the end of the program).
  void DestroyPort();

  void FormCreate();
  void ComIniClick();
  void ParamsClick();
  void TimClick();
  void MonitorClick();
  void KonecClick();
  // Every received batch: the channel steps the activity counter, reads the
  // bytes waiting and appends them to the receive text.
  void ComPort1RxChar(QObject* Sender, int Count);
  // The status line from the channel's state (the program calls it whenever
  // that changes).
  void ShowLineState();

  TPanel* Panel2;
  TImage* Image1;
  QPushButton* ComIni;
  QFrame* Panel4;
  QPushButton* Params;
  QPushButton* Tim;
  QPushButton* Monitor;
  QFrame* Panel3;
  QPushButton* Konec;
  // "COM1 (/dev/ttyUSB0) · výrobní číslo 4660 · přihlášeno"
  TPanel* Stav;

  TComPort* ComPort1;
  TSleeper* Sleeper1;
};
