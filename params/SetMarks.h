#pragma once
// The marks of the parameters dialog's fields after a set file was opened:
// a frame behind each field whose value differs from the receiver's
// read-out, its text bold, the receiver's value in its tip, and the line
// below the set buttons with the file's name and how many fields differ.
// The marks follow every edit until they are cleared. Which fields differ
// is the receiver layer's rule (params::DifferingFields).
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "receiver/ParamSet.h"

class QWidget;
class TPanel;

class TSetMarks {
 public:
  // dialog: where the frames go; field(name) finds a field, tip(name) its
  // tip when unmarked; line: the line below the set buttons.
  TSetMarks(QWidget* dialog, std::function<QWidget*(const std::string&)> field,
            std::function<QString(const std::string&)> tip, TPanel* line);

  // From now on the fields shown are compared with the receiver's read-out:
  // fileName is the set file's name (without its folder).
  void Start(const QString& fileName, const params::TTexts& shown, const TParamImage& receiver);
  // An edit: the marks and the count again, while marking.
  void Follow(const params::TTexts& shown);
  bool Active() const { return !file_.isEmpty(); }
  // No more marks, and the line hidden.
  void Clear();

  // The line: before + a file's name (shortened in its middle to keep the
  // line one line) + after.
  void ShowLine(const QString& before, const QString& name, const QString& after);

 private:
  void Remove();

  QWidget* dialog_;
  std::function<QWidget*(const std::string&)> field_;
  std::function<QString(const std::string&)> tip_;
  TPanel* line_;
  QString file_;
  TParamImage receiver_{};
  std::vector<TPanel*> frames_;
};
