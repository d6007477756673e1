#pragma once
// The system's yes/no question: a question box with "Ano" and "Ne" under
// the caption "Dotaz". True only when the operator answers "Ano"; closing
// the box any other way is a no. Enter gives the default answer: "Ne" for a
// question whose "Ano" loses or risks something.
#include <QString>

class QWidget;

enum class TDefaultAnswer { Yes, No };

bool AskYesNo(QWidget* parent, const QString& text, TDefaultAnswer answer = TDefaultAnswer::Yes,
              const QString& caption = QStringLiteral("Dotaz"));
