// Draws the program's logo, a siren on its mast sending out sound waves, and
// writes it as a 250 x 250 colour JPEG with libjpeg. Not part of the build;
// run once when the picture is to change:
//   g++ -std=c++20 -fPIC make_logo.cpp $(pkg-config --cflags --libs Qt6Gui) -ljpeg -o make_logo
//   QT_QPA_PLATFORM=offscreen ./make_logo logo.jpg
// The main window shows only its top-left 211 x 210 pixels, so everything
// that matters stands there.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

#include <jpeglib.h>

static QImage Draw() {
  QImage img(250, 250, QImage::Format_RGB888);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 250);
  sky.setColorAt(0, QColor(120, 180, 245));
  sky.setColorAt(1, QColor(235, 245, 255));
  p.fillRect(img.rect(), sky);

  // Ground and mast.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 150, 70));
  p.drawRect(0, 196, 250, 54);
  QLinearGradient mast(96, 0, 112, 0);
  mast.setColorAt(0, QColor(90, 90, 95));
  mast.setColorAt(0.5, QColor(190, 190, 200));
  mast.setColorAt(1, QColor(80, 80, 85));
  p.setBrush(mast);
  p.drawRect(97, 100, 14, 104);
  p.setBrush(QColor(70, 70, 75));
  p.drawRect(86, 196, 36, 8);

  // Siren: a drum with two horns.
  QLinearGradient drum(0, 70, 0, 110);
  drum.setColorAt(0, QColor(250, 215, 60));
  drum.setColorAt(0.5, QColor(255, 240, 150));
  drum.setColorAt(1, QColor(200, 150, 20));
  p.setPen(QPen(QColor(90, 60, 10), 2));
  p.setBrush(drum);
  p.drawRoundedRect(QRectF(72, 68, 64, 40), 8, 8);
  for (int side : {-1, 1}) {
    QPainterPath horn;
    const double x0 = side < 0 ? 74 : 134;
    const double x1 = side < 0 ? 36 : 172;
    horn.moveTo(x0, 78);
    horn.lineTo(x1, 60);
    horn.lineTo(x1, 116);
    horn.lineTo(x0, 98);
    horn.closeSubpath();
    QLinearGradient hg(0, 60, 0, 116);
    hg.setColorAt(0, QColor(230, 60, 40));
    hg.setColorAt(0.5, QColor(255, 130, 100));
    hg.setColorAt(1, QColor(160, 25, 20));
    p.setBrush(hg);
    p.drawPath(horn);
    p.setBrush(QColor(60, 20, 15));
    p.drawEllipse(QRectF(x1 - 5, 60, 10, 56));
  }
  // Receiver antenna on top.
  p.setPen(QPen(QColor(50, 50, 55), 3));
  p.drawLine(QPointF(104, 68), QPointF(104, 22));
  p.setBrush(QColor(220, 30, 30));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(104, 20), 5, 5);

  // Sound waves.
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    const double r = 12 + 10 * i;
    p.setPen(QPen(QColor(200, 20, 20, 230 - 60 * i), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(30 - r, 88 - r, 2 * r, 2 * r), 135 * 16, 90 * 16);
    p.drawArc(QRectF(178 - r, 88 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
  }
  // Radio waves from the antenna.
  for (int i = 0; i < 2; ++i) {
    const double r = 10 + 8 * i;
    p.setPen(QPen(QColor(30, 60, 200), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(104 - r, 20 - r, 2 * r, 2 * r), 20 * 16, 50 * 16);
    p.drawArc(QRectF(104 - r, 20 - r, 2 * r, 2 * r), 110 * 16, 50 * 16);
  }

  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(30);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QPen(QColor(255, 255, 255), 2));
  p.setBrush(QColor(0, 0, 170));
  p.drawRoundedRect(QRectF(40, 142, 130, 42), 6, 6);
  p.setPen(QColor(255, 255, 0));
  p.drawText(QRect(40, 142, 130, 42), Qt::AlignCenter, QStringLiteral("ZOV Q5r"));
  p.end();
  return img;
}

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_logo OUT.jpg\n");
    return 2;
  }
  const QImage img = Draw();
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  jpeg_compress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, out);
  c.image_width = img.width();
  c.image_height = img.height();
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 92, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uchar*>(img.constScanLine(int(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(out);
  return 0;
}
