// The monitor's memo shows the receive text line for line as the model
// wraps it, decoded from code page 1250, and keeps up with appends.
#include <QFontInfo>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>

#include "AppTest.h"
#include "link/Channel.h"
#include "link/ReceiveText.h"
#include "monitor/Mon.h"

namespace {

// The memo's lines must be exactly the model's displayed lines.
void ExpectMemoShowsModel() {
  TReceiveText& text = RxText();
  QTextDocument* doc = Mon->Memo1->document();
  const int lines = text.LineCount();
  ASSERT_EQ(doc->blockCount(), std::max(1, lines));
  for (int i = 0; i < lines; ++i) {
    ASSERT_EQ(doc->findBlockByNumber(i).text(), Mon->Memo1->Decode(text.Line(i))) << "line " << i;
  }

  if (lines == 0) {
    EXPECT_TRUE(doc->isEmpty());
  }
}

}  // namespace

using MonitorMemo = WithForms;

TEST_F(MonitorMemo, IsAReadOnlyMonospacedMemoWrappingWhereItsWidthEnds) {
  TRxMemo* memo = Mon->Memo1;
  EXPECT_EQ(memo->geometry(), QRect(8, 8, 809, 489));
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(memo->font().family(), QStringLiteral("Liberation Mono"));
  EXPECT_EQ(memo->font().pixelSize(), 13);
  EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());

  // The model wraps at the memo's column count: a full line fits into the
  // visible width, one character more would not.
  const int columns = RxText().WrapColumns();
  ASSERT_GT(columns, 80);
  Mon->show();  // lays out the viewport
  const int visible = memo->viewport()->width() - 2 * int(memo->document()->documentMargin());
  const QFontMetrics fm(memo->font());
  EXPECT_LE(fm.horizontalAdvance(QString(columns, QLatin1Char('W'))), visible);
  EXPECT_GT(fm.horizontalAdvance(QString(columns + 1, QLatin1Char('W'))), visible);
  Mon->hide();

  RxText().SetText(std::string(size_t(columns) * 2 + 5, 'x'));
  EXPECT_EQ(RxText().LineCount(), 3);
  memo->Flush();
  ExpectMemoShowsModel();
  EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
}

TEST_F(MonitorMemo, DecodesCodePage1250) {
  // "Přijímač" in code page 1250, then a line break.
  RxText().SetText("P\xF8ij\xEDma\xE8\r\n\x8A\x9E");
  Mon->Memo1->Flush();
  ASSERT_EQ(Mon->Memo1->document()->blockCount(), 2);
  EXPECT_EQ(Mon->Memo1->document()->firstBlock().text(), QStringLiteral("Přijímač"));
  EXPECT_EQ(Mon->Memo1->document()->lastBlock().text(), QStringLiteral("Šž"));
}

TEST_F(MonitorMemo, FollowsAppendsClearsAndWholeStoresOfAMonitorSizedText) {
  QRandomGenerator rng(4711);
  std::string source;
  const char* pieces[] = {"12.03.26 08:15:", "ALARM ", "\r\n", "\r", "\n", "\x8A\xE8", "zkouška sirény ",
                          "OK", "\n\r", "0123456789"};
  while (source.size() < 256 * 1024) source += pieces[rng.bounded(int(std::size(pieces)))];
  size_t pos = 0;
  int checks = 0;
  while (pos < source.size()) {
    const size_t n = std::min(source.size() - pos, size_t(1 + rng.bounded(64)));
    RxText().Append(std::string_view(source).substr(pos, n));
    pos += n;
    if (rng.bounded(500) == 0) {
      Mon->Memo1->Flush();
      ExpectMemoShowsModel();
      ++checks;
    }
  }
  // Hidden, the memo catches up when it is shown.
  Mon->show();
  ExpectMemoShowsModel();
  EXPECT_GT(checks, 0);

  // Shown, it follows by itself within moments.
  auto shows = [] {
    const QTextDocument* doc = Mon->Memo1->document();
    const int lines = RxText().LineCount();
    return doc->blockCount() == std::max(1, lines) &&
           (lines == 0 || doc->lastBlock().text() == Mon->Memo1->Decode(RxText().LineView(lines - 1)));
  };
  RxText().Append("\r\nA new line");
  EXPECT_TRUE(WaitUntil(shows));
  RxText().Append(" goes on");
  EXPECT_TRUE(WaitUntil(shows));
  ExpectMemoShowsModel();
  RxText().Clear();
  EXPECT_TRUE(WaitUntil(shows));
  ExpectMemoShowsModel();
  RxText().SetText("CMD>\r\nfirst\r\nlast\r\n");
  EXPECT_TRUE(WaitUntil(shows));
  ExpectMemoShowsModel();
  EXPECT_EQ(Mon->Memo1->document()->blockCount(), 3);
  Mon->hide();
}
