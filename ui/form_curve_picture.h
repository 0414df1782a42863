// CurvePicture: the square tone-curve picture of the tone dialogs, black points on white. Points
// are given in real coordinates and truncated toward zero; those that fall outside the picture
// (or are no finite number, as a steep or degenerate curve gives) are left out.
#pragma once

#include <QImage>
#include <QWidget>

namespace kandrel {

class CurvePicture : public QWidget {
  Q_OBJECT

 public:
  explicit CurvePicture(int size);

  // All white, then repainted.
  void Clear();
  void Plot(int x, double y);
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace kandrel
