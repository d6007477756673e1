#pragma once
// The receiver's texts are code page 1250 (Czech letters): the receive text
// holds them as bytes, and whatever shows them to the operator decodes them
// here. Qt decodes that page through ICU; a Qt built without it has no such
// decoder, and every received line would silently decode to nothing, so the
// program checks the decoder once at start.
#include <QString>
#include <string_view>

inline constexpr char kCp1250Codec[] = "windows-1250";

// Throws std::runtime_error, naming the codec, when this Qt cannot decode it
// or decodes its Czech letters wrongly. The program calls it at start, so
// that a missing decoder stops it with that message instead.
void RequireCp1250Decoder(const char* codec = kCp1250Codec);

// The receiver's bytes as text (the decoder the start-up check vouched for).
QString FromReceiver(std::string_view bytes);
