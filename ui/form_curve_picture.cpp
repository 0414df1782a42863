#include "ui/form_curve_picture.h"

#include <QPainter>

namespace kandrel {

CurvePicture::CurvePicture(int size) : picture_(size, size, QImage::Format_RGB32) {
  setFixedSize(size, size);
  Clear();
}

void CurvePicture::Clear() {
  picture_.fill(Qt::white);
  update();
}

void CurvePicture::Plot(int x, double y) {
  // Checked before the conversion to int, which would be undefined for the values left out.
  if (!(y > -1 && y < picture_.height()) || x < 0 || x >= picture_.width()) return;
  picture_.setPixel(x, static_cast<int>(y), qRgb(0, 0, 0));
  update();
}

void CurvePicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

}  // namespace kandrel
