#include "ui/Files.h"

#include <QFileDialog>

QString AskFileName(QWidget* parent, const TFileQuestion& question) {
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!question.Title.isEmpty()) dialog.setWindowTitle(question.Title);
  dialog.setAcceptMode(question.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(question.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!question.Filter.isEmpty()) dialog.setNameFilter(question.Filter);
  if (!question.Suffix.isEmpty()) dialog.setDefaultSuffix(question.Suffix);
  if (question.Save) dialog.selectFile(question.Suggested);
  else if (!question.Suggested.isEmpty()) dialog.setDirectory(question.Suggested);
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.selectedFiles().value(0);
}
