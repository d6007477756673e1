#include "serial/InputFilter.h"

void TInputFilter::Configure(const TInputFilterSettings& settings) {
  if (settings.errorMarks != settings_.errorMarks) markState_ = 0;
  settings_ = settings;
}

bool TInputFilter::Put(unsigned char c, std::string& out) {
  if (c == 0 && settings_.discardNull) return false;
  out.push_back(static_cast<char>(c));
  return c == static_cast<unsigned char>(settings_.eventChar);
}

bool TInputFilter::Filter(const unsigned char* bytes, size_t n, std::string& out) {
  bool eventChar = false;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = bytes[i];
    if (!settings_.errorMarks) {
      eventChar |= Put(c, out);
      continue;
    }
    switch (markState_) {
      case 0:
        if (c == 0xFF)
          markState_ = 1;
        else
          eventChar |= Put(c, out);
        break;
      case 1:
        if (c == 0xFF) {  // a real 0xFF
          eventChar |= Put(0xFF, out);
          markState_ = 0;
        } else if (c == 0) {
          markState_ = 2;
        } else {  // not a mark after all
          eventChar |= Put(0xFF, out);
          eventChar |= Put(c, out);
          markState_ = 0;
        }
        break;
      default:  // c is the byte received in error
        eventChar |= Put(static_cast<unsigned char>(settings_.errorChar), out);
        markState_ = 0;
        break;
    }
  }
  return eventChar;
}
