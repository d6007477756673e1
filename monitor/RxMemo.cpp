#include "monitor/RxMemo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "link/Cp1250.h"
#include "ui/Controls.h"
#include "link/ReceiveText.h"
#include "receiver/Readout.h"

TRxMemo::TRxMemo(TReceiveText& model, QWidget* parent)
    : QPlainTextEdit(parent), model_(model), decoder_(kCp1250Codec) {
  setFont(MonoFont(13));
  setReadOnly(true);
  setFocusPolicy(Qt::NoFocus);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(15);
  connect(&flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
  model_.OnChanged = [this](int first) { ModelChanged(first); };
  Apply(0);
}

TRxMemo::~TRxMemo() { model_.OnChanged = nullptr; }

void TRxMemo::SetBoundsAndWrap(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  // The monitor's lines are laid out as wide as the read-out takes them,
  // which the memo's width and font are made for.
  model_.SetWrapColumns(monitor::kWrapColumns);
}

QString TRxMemo::Decode(std::string_view bytes) {
  return decoder_.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

void TRxMemo::ModelChanged(int first) {
  pendingFirst_ = std::min(pendingFirst_, std::max(first, 0));
  if (isVisible() && !flushTimer_.isActive()) flushTimer_.start();
}

void TRxMemo::Flush() {
  flushTimer_.stop();
  if (pendingFirst_ == INT_MAX) return;
  const int first = pendingFirst_;
  pendingFirst_ = INT_MAX;
  Apply(first);
}

void TRxMemo::showEvent(QShowEvent* event) {
  Flush();
  QPlainTextEdit::showEvent(event);
}

void TRxMemo::Apply(int first) {
  const int lines = model_.LineCount();
  first = std::clamp(first, 0, shownLines_);
  QTextDocument* doc = document();
  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  QString added;
  // The common case, an append inside the last shown line: only the new end
  // of that line goes in.
  if (first == shownLines_ - 1 && first < lines) {
    const QString last = doc->lastBlock().text();
    const QString now = Decode(model_.LineView(first));
    if (now.startsWith(last)) {
      added = now.mid(last.size());
      ++first;
    }
  }
  if (added.isNull()) {
    // Drop the shown lines from `first` on, with the line break before them.
    if (first == 0) {
      cursor.select(QTextCursor::Document);
      cursor.removeSelectedText();
    } else if (first < shownLines_) {
      const QTextBlock before = doc->findBlockByNumber(first - 1);
      cursor.setPosition(before.position() + before.length() - 1);
      cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
    }
  }
  cursor.movePosition(QTextCursor::End);
  for (int i = first; i < lines; ++i) {
    if (i > 0) added += QLatin1Char('\n');
    added += Decode(model_.LineView(i));
  }
  if (!added.isEmpty()) cursor.insertText(added);
  cursor.endEditBlock();
  shownLines_ = lines;
}
