#include "app/Logo.h"

#include <cstddef>

#include "ui/Jpeg.h"

// The logo's bytes, generated from logo/logo.jpg at build time.
extern const unsigned char kLogoJpeg[];
extern const std::size_t kLogoJpegSize;

QImage LogoImage() { return DecodeJpeg(kLogoJpeg, kLogoJpegSize); }
