#pragma once
// The receiver's texts are code page 1250 (Czech letters). Qt decodes that
// through ICU; a Qt built without it has no such decoder, and every received
// line would silently decode to nothing.
#include <string_view>

inline constexpr char kCp1250Codec[] = "windows-1250";

// Throws std::runtime_error, naming the codec, when this Qt cannot decode it
// or decodes its Czech letters wrongly. The program calls it at start, so
// that a missing decoder stops it with that message instead.
void RequireCp1250Decoder(const char* codec = kCp1250Codec);
