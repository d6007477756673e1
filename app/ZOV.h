#pragma once
// The main window: the logo and the five command buttons. It owns the one
// serial port object ComPort1 and the one delay object Sleeper1 that the
// command channel uses, and ComPort1's receive handler, which hands every
// notification to the channel.
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

  TPanel* Panel2;
  TImage* Image1;
  QPushButton* ComIni;
  QFrame* Panel4;
  QPushButton* Params;
  QPushButton* Tim;
  QPushButton* Monitor;
  QFrame* Panel3;
  QPushButton* Konec;

  TComPort* ComPort1;
  TSleeper* Sleeper1;
};
