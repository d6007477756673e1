#pragma once
// The colours that signal state: red for an error, green for the login's
// success, blue for an instruction or work in progress, silver for a
// disabled selection field; and the system colours the dialogs use.
#include <QColor>

inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 128, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kWhite(255, 255, 255);
inline const QColor kYellow(255, 255, 0);
inline const QColor kSilver(192, 192, 192);

QColor ButtonFaceColor();
QColor WindowColor();
