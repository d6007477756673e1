#pragma once
// The system's yes/no question: a question box with "Ano" and "Ne" under
// the caption "Dotaz". True only when the operator answers "Ano"; closing
// the box any other way is a no.
#include <QString>

class QWidget;

bool AskYesNo(QWidget* parent, const QString& text, const QString& caption = QStringLiteral("Dotaz"));
