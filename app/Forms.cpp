#include "app/Forms.h"

#include "app/Chyba.h"
#include "app/Exit.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "link/ComInit.h"
#include "link/RcvInit.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"

TZOV* ZOV = nullptr;
TRcvInit* RcvInit = nullptr;
TChyba* Chyba = nullptr;
TParametry* Parametry = nullptr;
TMon* Mon = nullptr;
TSetTim* SetTim = nullptr;
TComInit* ComInit = nullptr;
TExit* Exit = nullptr;

void CreateForms() {
  ZOV = new TZOV;
  RcvInit = new TRcvInit;
  Chyba = new TChyba;
  Parametry = new TParametry;
  Mon = new TMon;
  SetTim = new TSetTim;
  ComInit = new TComInit;
  Exit = new TExit;
}

namespace {
template <typename T>
void Destroy(T*& form) {
  T* f = form;
  form = nullptr;
  delete f;
}
}  // namespace

void DestroyForms() {
  // The port first: once it is closed nothing more is received into the
  // windows that go next.
  if (ZOV) ZOV->DestroyPort();
  Destroy(Exit);
  Destroy(ComInit);
  Destroy(SetTim);
  Destroy(Mon);
  Destroy(Parametry);
  Destroy(Chyba);
  Destroy(RcvInit);
  Destroy(ZOV);
}
