#include "ui/Colors.h"

#include <QApplication>
#include <QPalette>

QColor ButtonFaceColor() { return QApplication::palette().color(QPalette::Button); }
QColor WindowColor() { return QApplication::palette().color(QPalette::Base); }
