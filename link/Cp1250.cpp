#include "link/Cp1250.h"

#include <QStringDecoder>

#include <stdexcept>
#include <string>

void RequireCp1250Decoder(const char* codec) {
  QStringDecoder decoder(codec);
  // "Šč" in code page 1250; in any other page these bytes are something else.
  const QString sample = decoder.isValid() ? decoder.decode(QByteArrayView("\x8A\xE8", 2)) : QString();
  if (!decoder.isValid() || decoder.hasError() || sample != QString::fromUtf8("Šč"))
    throw std::runtime_error(std::string("this Qt cannot decode ") + codec +
                             " (it needs ICU): the receiver's texts could not be shown");
}

QString FromReceiver(std::string_view bytes) {
  QStringDecoder decoder(kCp1250Codec);
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
