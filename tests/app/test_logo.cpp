// The logo: decoded from the program's own JPEG with libjpeg and drawn
// unscaled from its top-left corner.
#include <QSet>

#include "AppTest.h"
#include "app/Logo.h"
#include "ui/Jpeg.h"
#include "app/ZOV.h"

extern const unsigned char kLogoJpeg[];
extern const std::size_t kLogoJpegSize;

TEST(Logo, DecodesToA250By250ColourPicture) {
  const QImage logo = LogoImage();
  ASSERT_EQ(logo.size(), QSize(250, 250));
  QSet<QRgb> colours;
  int coloured = 0;
  for (int y = 0; y < 250; y += 5)
    for (int x = 0; x < 250; x += 5) {
      const QColor c = logo.pixelColor(x, y);
      colours.insert(c.rgb());
      if (c.hsvSaturation() > 80) ++coloured;
    }
  EXPECT_GT(colours.size(), 100);
  EXPECT_GT(coloured, 500);  // a colour picture, not a grey one
}

TEST(Logo, DamagedDataIsAnErrorNotTheEndOfTheProgram) {
  const unsigned char garbage[] = "this is not a JPEG file at all";
  EXPECT_THROW(DecodeJpeg(garbage, sizeof garbage), EJpegError);
  EXPECT_THROW(DecodeJpeg(nullptr, 0), EJpegError);
  // Only the first bytes of the header.
  EXPECT_THROW(DecodeJpeg(kLogoJpeg, 20), EJpegError);
  // The decoder is usable again after an error.
  EXPECT_EQ(DecodeJpeg(kLogoJpeg, kLogoJpegSize).size(), QSize(250, 250));
}

using LogoOnMainWindow = WithForms;

TEST_F(LogoOnMainWindow, ShowsTheTopLeft211By210PixelsUnscaled) {
  EXPECT_EQ(ZOV->Image1->geometry(), QRect(13, 61, 211, 210));
  const QImage shown = ZOV->Image1->grab().toImage().convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(shown.size(), QSize(211, 210));
  const QImage expected = LogoImage().copy(0, 0, 211, 210);
  int differing = 0;
  for (int y = 0; y < 210; ++y)
    for (int x = 0; x < 211; ++x)
      if (shown.pixel(x, y) != expected.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
}
