#pragma once
// The logo shown on the main window: a 250 x 250 JPEG stored in the program.
#include <QImage>

QImage LogoImage();
