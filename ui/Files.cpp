#include "ui/Files.h"

#include <QFileDialog>
#include <QSaveFile>

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

bool SaveWholeFile(const QString& fileName, std::string_view bytes) {
  QSaveFile file(fileName);
  // Unbuffered: a write that the file system cuts short (a full disk, a file
  // size limit) shows here. Buffered, it would show only when the buffer is
  // flushed while committing, and QSaveFile would commit the cut file.
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.commit();
  // Nothing was renamed over the old file; the temporary one is gone.
  if (!written) file.cancelWriting();
  return written;
}
