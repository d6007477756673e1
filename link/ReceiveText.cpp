#include "link/ReceiveText.h"

#include <algorithm>
#include <cstring>

void NormalizeLineBreaks(std::string_view in, std::string& out) {
  bool afterCr = false;
  NormalizeLineBreaks(in, out, afterCr);
}

void NormalizeLineBreaks(std::string_view in, std::string& out, bool& afterCr) {
  // NULs are dropped first, so "\r\0\n" is one CR LF pair: the state
  // "previous kept byte was a CR" survives a NUL.
  out.reserve(out.size() + in.size() + in.size() / 8);
  const char* p = in.data();
  const char* const end = p + in.size();
  while (p < end) {
    const char* run = p;
    while (p < end && *p != '\r' && *p != '\n' && *p != '\0') ++p;
    if (p != run) {
      out.append(run, p);
      afterCr = false;
    }
    if (p == end) break;
    const char c = *p++;
    if (c == '\r') {
      out += "\r\n";
      afterCr = true;
    } else if (c == '\n') {
      if (!afterCr) out += "\r\n";  // a lone LF; the LF of CR LF is already out
      afterCr = false;
    }
  }
}

void TReceiveText::Changed(int firstChangedLine) {
  if (OnChanged) {
    // A copy, so that a handler may replace OnChanged while it runs.
    auto handler = OnChanged;
    handler(firstChangedLine);
  }
}

void TReceiveText::Clear() {
  afterCr_ = false;
  text_.clear();
  lines_.clear();
  Changed(0);
}

void TReceiveText::SetText(std::string_view text) {
  std::string normalized;
  afterCr_ = false;
  NormalizeLineBreaks(text, normalized, afterCr_);
  text_.swap(normalized);
  lines_.clear();
  LayOut(0, 0);
  Changed(0);
}

bool TReceiveText::LastLineOpen() const {
  // The last displayed line can still grow when the text does not end with a
  // line break (a stored text never ends in a lone CR).
  return !lines_.empty() && lines_.back().End == text_.size();
}

void TReceiveText::Append(std::string_view chunk) {
  const std::size_t oldSize = text_.size();
  const bool open = LastLineOpen();
  // The chunk goes on where the last one ended: after a CR (already stored
  // as CR LF) a first LF is that CR's own.
  NormalizeLineBreaks(chunk, text_, afterCr_);
  if (text_.size() == oldSize) return;  // nothing but NULs, or the LF of a stored CR
  int first = LineCount();
  if (open) {
    const TSegment last = lines_.back();
    lines_.pop_back();
    --first;
    LayOut(last.Begin, oldSize);
    if (first < LineCount() && lines_[first].Begin == last.Begin && lines_[first].End == last.End)
      ++first;  // only a line break was added after it
  } else {
    LayOut(oldSize, oldSize);
  }
  Changed(first);
}

bool TReceiveText::Contains(std::string_view s) const { return text_.find(s) != std::string::npos; }

std::size_t TReceiveText::Find(std::string_view s, std::size_t from) const { return text_.find(s, from); }

void TReceiveText::SetWrapColumns(int columns) {
  columns = std::max(columns, 0);
  if (columns == columns_) return;
  columns_ = columns;
  lines_.clear();
  LayOut(0, 0);
  Changed(0);
}

void TReceiveText::LayOut(std::size_t segStart, std::size_t scanFrom) {
  const char* data = text_.data();
  const std::size_t size = text_.size();
  std::size_t pos = segStart;
  std::size_t scan = scanFrom;
  for (;;) {
    const void* cr = scan < size ? std::memchr(data + scan, '\r', size - scan) : nullptr;
    if (!cr) {
      // The last line of the text; when the text ends with a break it is the
      // empty line that is not counted.
      if (pos < size) Wrap(pos, size);
      return;
    }
    const std::size_t q = static_cast<const char*>(cr) - data;
    Wrap(pos, q);
    pos = scan = q + 2;  // every CR is followed by its LF
  }
}

void TReceiveText::Wrap(std::size_t begin, std::size_t end) {
  if (columns_ <= 0) {
    lines_.push_back({begin, end});
    return;
  }
  const std::size_t n = static_cast<std::size_t>(columns_);
  const char* data = text_.data();
  std::size_t pos = begin;
  while (end - pos > n) {
    std::size_t cut = pos + n;  // hard, when the n bytes hold no space
    for (std::size_t k = pos + n; k > pos; --k) {
      if (data[k - 1] == ' ') {
        cut = k;
        break;
      }
    }
    lines_.push_back({pos, cut});
    pos = cut;
  }
  lines_.push_back({pos, end});
}

std::string_view TReceiveText::LineView(int i) const {
  if (i < 0 || i >= LineCount()) return {};
  const TSegment& s = lines_[static_cast<std::size_t>(i)];
  return std::string_view(text_).substr(s.Begin, s.End - s.Begin);
}

std::string TReceiveText::Line(int i) const {
  return std::string(LineView(i).substr(0, MaxLineBytes));
}

std::size_t TReceiveText::LineStart(int i) const {
  if (i < 0 || i > LineCount()) return std::string::npos;
  if (i == LineCount()) return text_.size();
  return lines_[static_cast<std::size_t>(i)].Begin;
}

void TReceiveText::DeleteLine(int i) {
  if (i < 0 || i >= LineCount()) return;
  const std::size_t idx = static_cast<std::size_t>(i);
  const std::size_t b = lines_[idx].Begin;
  // To the start of the next displayed line; after the last counted line
  // that is the end of the text (the uncounted empty line starts there too).
  const std::size_t e = idx + 1 < lines_.size() ? lines_[idx + 1].Begin : text_.size();
  const std::size_t len = e - b;
  // A CR at the end of the text that still waits for its LF keeps waiting
  // when its line goes: the LF that comes later is still its own.

  // The line of the text that holds line i starts at displayed line j; it is
  // the only one that wraps anew.
  std::size_t j = idx;
  while (j > 0 && text_[lines_[j].Begin - 1] != '\n') --j;
  const std::size_t lineStart = lines_[j].Begin;
  const std::vector<TSegment> before(lines_.begin() + static_cast<std::ptrdiff_t>(j),
                                     lines_.begin() + static_cast<std::ptrdiff_t>(idx));

  text_.erase(b, len);

  const std::size_t q = text_.find('\r', b);
  std::vector<TSegment> tail;
  if (q != std::string::npos) {
    // Lines of the text after the one that changed keep their layout, moved by len.
    const std::size_t oldNext = q + 2 + len;
    auto it = std::lower_bound(lines_.begin() + static_cast<std::ptrdiff_t>(idx), lines_.end(), oldNext,
                               [](const TSegment& s, std::size_t v) { return s.Begin < v; });
    tail.reserve(static_cast<std::size_t>(lines_.end() - it));
    for (; it != lines_.end(); ++it) tail.push_back({it->Begin - len, it->End - len});
  }
  lines_.resize(j);
  if (q != std::string::npos) {
    Wrap(lineStart, q);
    lines_.insert(lines_.end(), tail.begin(), tail.end());
  } else {
    LayOut(lineStart, b);
  }

  std::size_t first = j;
  while (first < idx && first < lines_.size() && lines_[first].Begin == before[first - j].Begin &&
         lines_[first].End == before[first - j].End)
    ++first;
  Changed(static_cast<int>(first));
}
