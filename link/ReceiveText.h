#pragma once
// The receive text: everything the receiver sends is appended here, the
// dialogs clear it, search it and read it line by line, and the monitor
// dialog shows it in its memo and saves it.
//
// Bytes (code page 1250), never a NUL; lines are separated by CR LF. Every
// store normalises line breaks: a CR LF pair stays, every other CR and every
// other LF becomes CR LF (so LF CR is two breaks). NUL bytes are dropped
// before normalising, as the port does when it discards them.
//
// Appends continue one another: the text is everything appended since the
// last Clear or SetText, normalised as one stream, however the port cut it
// into notifications. A CR LF pair split over two appends is one break, as in
// one chunk (at 9600 baud a notification often carries a single byte, so
// nearly every pair of a long reply is split; a break each would put an empty
// line after every line of the monitor and into its saved file). A CR at the
// end of the text waits for its LF until a Clear or a SetText, also when
// DeleteLine takes the line it ended.
//
// Displayed lines. The memo shows the text wrapped at a number of columns (one
// byte is one column, the font being monospaced). With SetWrapColumns(n), n > 0,
// each line of the text (CR LF to CR LF) is cut into displayed lines of at most
// n bytes, like an edit control's word wrap:
//   - a rest of n bytes or fewer is one displayed line;
//   - otherwise the cut comes after the last space among its first n bytes (the
//     space stays at the end of the upper line), or, when those n bytes hold
//     no space, hard after n bytes.
// With 0 columns every line of the text is one displayed line. Displayed lines
// are counted from 0; the empty line after a final CR LF (and the empty text)
// is not counted.
//
// Costs: Append is amortised O(chunk + columns): only the last line of the text
// can re-wrap. LineCount/Line are O(1). SetText, SetWrapColumns and DeleteLine
// are O(text).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TReceiveText {
 public:
  // Longest text that Line() returns.
  static constexpr std::size_t MaxLineBytes = 4096;

  void Clear();
  const std::string& Text() const { return text_; }
  // Stores the whole text, dropping NULs and normalising line breaks.
  void SetText(std::string_view text);
  // Continues the text with chunk (see above), amortised O(chunk).
  void Append(std::string_view chunk);

  // Exact, case-sensitive substring anywhere in the text (an empty s counts
  // as found).
  bool Contains(std::string_view s) const;
  // Byte offset of the first occurrence of s at or after from, npos if none.
  std::size_t Find(std::string_view s, std::size_t from = 0) const;

  // Displayed-line wrapping at this many columns; 0 (or less) = none.
  void SetWrapColumns(int columns);
  int WrapColumns() const { return columns_; }

  // Displayed lines; an empty last line is not counted.
  int LineCount() const { return static_cast<int>(lines_.size()); }
  // Displayed line i without its line break, at most MaxLineBytes bytes;
  // "" when i is out of range.
  std::string Line(int i) const;
  // The whole displayed line i (no cap), valid until the next change; empty
  // when out of range. For views.
  std::string_view LineView(int i) const;
  // Byte offset in Text() where displayed line i starts; Text().size() for
  // i == LineCount(), npos beyond.
  std::size_t LineStart(int i) const;

  // Removes displayed line i as an edit control does: the bytes from its start
  // to the start of the next displayed line, or to the end of the text when it
  // is the last one. A line ended by CR LF goes with its line break; a wrapped
  // segment goes alone and the rest of its line joins the part before it (and
  // wraps anew); the last line, when the text ends without a break, leaves the
  // break before it in place (the empty line after it is not counted).
  // Nothing happens when i is out of range.
  void DeleteLine(int i);

  // Called after every change of the text or of the wrapping: displayed lines
  // with an index >= firstChangedLine may have changed, appeared or vanished
  // (LineCount() tells how many there are now); lines before it are unchanged.
  std::function<void(int firstChangedLine)> OnChanged;

 private:
  struct TSegment {
    std::size_t Begin;
    std::size_t End;  // exclusive, before any CR LF
  };

  // Re-lays displayed lines from byte offset segStart (the start of a displayed
  // line) to the end of the text, appending to lines_; scanning for breaks
  // may start at scanFrom >= segStart (no break lies between them).
  void LayOut(std::size_t segStart, std::size_t scanFrom);
  // Wraps the part [begin, end) of one line of the text into lines_.
  void Wrap(std::size_t begin, std::size_t end);
  bool LastLineOpen() const;
  void Changed(int firstChangedLine);

  std::string text_;
  std::vector<TSegment> lines_;
  int columns_ = 0;
  bool afterCr_ = false;  // the last byte stored was a CR: an LF next is its own
};

// The normalisation of a stored text, on its own: NULs dropped, every CR, LF
// and LF CR turned into CR LF breaks, CR LF kept. Appended to out.
void NormalizeLineBreaks(std::string_view in, std::string& out);
// The same for the continuation of a text: afterCr says that the byte before
// in was a CR (so a first LF is part of its break) and tells the same of
// in's last byte afterwards.
void NormalizeLineBreaks(std::string_view in, std::string& out, bool& afterCr);
