#include "link/Channel.h"

#include <stdexcept>

#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/ReceiveText.h"
#include "link/Sleeper.h"
#include "monitor/Mon.h"
#include "serial/ComPort.h"

int RxActivity = 0;

int StepRxActivity() {
  ++RxActivity;
  if (RxActivity > 1000) RxActivity = 0;
  return RxActivity;
}

TReceiveText& RxText() {
  if (!Mon) throw std::logic_error("the receive text does not exist yet");
  return Mon->RxText;
}

int SendAndWait(const std::string& text, int milliseconds) {
  if (!ZOV || !ZOV->ComPort1) throw std::logic_error("the main window's port does not exist");
  const int sent = ZOV->ComPort1->SendText(text);
  ZOV->Sleeper1->Sleep(milliseconds);
  return sent;
}
