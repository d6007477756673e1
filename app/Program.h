#pragma once
// The program from the single-instance guard to the destruction of its
// windows; main() adds only the application object. Returns the exit code,
// 0 in both outcomes (second instance refused, or ended by the operator).
int RunProgram();

class QTranslator;
// Loads Qt's own Czech translation (Debian: qt6-translations-l10n) into
// translator and installs it, so that Qt's standard dialogs (the file
// dialog, the yes/no question) speak Czech like the rest of the program.
// False, with nothing installed, when it is not there.
bool LoadQtCzech(QTranslator& translator);
