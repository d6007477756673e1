#include "ui/Question.h"

#include <QAbstractButton>
#include <QMessageBox>

bool AskYesNo(QWidget* parent, const QString& text, TDefaultAnswer answer, const QString& caption) {
  QMessageBox question(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  // In Czech whether or not Qt's own translation is there.
  question.button(QMessageBox::Yes)->setText(QStringLiteral("&Ano"));
  question.button(QMessageBox::No)->setText(QStringLiteral("&Ne"));
  question.setDefaultButton(answer == TDefaultAnswer::No ? QMessageBox::No : QMessageBox::Yes);
  return question.exec() == QMessageBox::Yes;
}
