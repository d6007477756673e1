#pragma once
// The program's windows: each exists exactly once, from CreateForms at
// start-up to DestroyForms at exit, and the dialogs reach one another through
// these pointers.
#include "app/StartOptions.h"

class TZOV;
class TRcvInit;
class TChyba;
class TParametry;
class TMon;
class TSetTim;
class TComInit;
class TExit;
class TNavod;

extern TZOV* ZOV;
extern TRcvInit* RcvInit;
extern TChyba* Chyba;
extern TParametry* Parametry;
extern TMon* Mon;
extern TSetTim* SetTim;
extern TComInit* ComInit;
extern TExit* Exit;
// The guide window, opened by F1 in any window (app/Navod.h).
extern TNavod* Navod;

// Creates the windows in this order: ZOV (the main window, first: the
// connection dialog's port selector is bound to its port), RcvInit, Chyba,
// Parametry, Mon, SetTim, ComInit, Exit, and last the guide window Navod,
// which from then on answers F1 in every window. Touches no serial port. From then
// on the serial component's own error reports tell the command channel that
// the port failed before the error box shows them. The options' service
// mode shapes the windows, and their trace file, when there is one, records
// the line from now on (app/LineTrace.h).
void CreateForms(const TStartOptions& options = {});
// Destroys ZOV's port (closing it if it is open), then ends the trace and
// destroys every window, the last created (the guide window) first; the error box alone shows
// the component's reports again.
void DestroyForms();
