#pragma once
// The program from the single-instance guard to the destruction of its
// windows, as the command line's options ask; main() adds only the
// application object. Returns the exit code: 0 when the operator ended it or
// a second instance was refused, 1 when this Qt cannot decode the receiver's
// code page.
#include "app/StartOptions.h"

int RunProgram(const TStartOptions& options = {});

class QTranslator;
// Loads Qt's own Czech translation (Debian: qt6-translations-l10n) into
// translator and installs it, so that Qt's standard dialogs (the file
// dialog, the yes/no question) speak Czech like the rest of the program.
// False, with nothing installed, when it is not there.
bool LoadQtCzech(QTranslator& translator);
