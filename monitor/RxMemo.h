#pragma once
// The memo that shows the receive text: read-only, monospaced, one block per
// displayed line of the model. The model does the wrapping, at the column
// count the monitor's read-out lays it out with (which the memo's width and
// font fit), so that line numbers mean the same in both; the memo itself
// never wraps. Changes are applied from the first
// changed line on, so appending to a long text costs only its last lines.
#include <QPlainTextEdit>
#include <QTimer>
#include <climits>
#include <QStringDecoder>
#include <string_view>

class TReceiveText;

class TRxMemo : public QPlainTextEdit {
 public:
  TRxMemo(TReceiveText& model, QWidget* parent = nullptr);
  ~TRxMemo() override;

  // Places the memo and lays the model out as the monitor's read-out takes
  // it (monitor::kWrapColumns, which a memo of the monitor's width shows).
  void SetBoundsAndWrap(int left, int top, int width, int height);
  // The model's displayed lines from line `first` on have changed.
  void ModelChanged(int first);
  // Brings the memo up to date with the model now.
  void Flush();
  // Decodes a line of the receive text (code page 1250).
  QString Decode(std::string_view bytes);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Apply(int first);

  TReceiveText& model_;
  QTimer flushTimer_;
  int pendingFirst_ = INT_MAX;
  QStringDecoder decoder_;
  int shownLines_ = 0;
};
