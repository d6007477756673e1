#include "ui/Question.h"

#include <QAbstractButton>
#include <QMessageBox>

bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox question(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  // In Czech whether or not Qt's own translation is there.
  question.button(QMessageBox::Yes)->setText(QStringLiteral("&Ano"));
  question.button(QMessageBox::No)->setText(QStringLiteral("&Ne"));
  return question.exec() == QMessageBox::Yes;
}
