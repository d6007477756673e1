#include "monitor/RxMemo.h"

#include <QFontMetricsF>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "app/Controls.h"
#include "link/ReceiveText.h"

TRxMemo::TRxMemo(TReceiveText& model, QWidget* parent)
    : QPlainTextEdit(parent), model_(model), decoder_("windows-1250") {
  setFont(MonoFont(13));
  setReadOnly(true);
  setFocusPolicy(Qt::NoFocus);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  model_.OnChanged = [this](int first) { ModelChanged(first); };
  ModelChanged(0);
}

TRxMemo::~TRxMemo() { model_.OnChanged = nullptr; }

int TRxMemo::ColumnsFor(int width) const {
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const double margins = 2.0 * frameWidth() + 2.0 * document()->documentMargin() + contentOffset().x();
  const double advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
  // Leave one pixel for the caret at the end of a full line.
  const double usable = width - scrollBar - margins - 1.0;
  return std::max(1, int(std::floor(usable / advance)));
}

void TRxMemo::SetBoundsAndWrap(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  model_.SetWrapColumns(ColumnsFor(width));
}

QString TRxMemo::Decode(std::string_view bytes) {
  return decoder_.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

void TRxMemo::ModelChanged(int first) {
  const int lines = model_.LineCount();
  first = std::clamp(first, 0, shownLines_);
  QTextDocument* doc = document();
  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  // Drop the shown lines from `first` on, with the line break before them.
  if (first == 0) {
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
  } else if (first < shownLines_) {
    cursor.setPosition(doc->findBlockByNumber(first - 1).position() + doc->findBlockByNumber(first - 1).length() - 1);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  cursor.movePosition(QTextCursor::End);
  QString added;
  for (int i = first; i < lines; ++i) {
    if (i > 0) added += QLatin1Char('\n');
    added += Decode(model_.LineView(i));
  }
  if (!added.isEmpty()) cursor.insertText(added);
  cursor.endEditBlock();
  shownLines_ = lines;
}
