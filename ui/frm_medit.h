// TFrmMEdit: a numeric edit between "<" and ">" whose number is dragged with the mouse. Within
// the edit (give or take 3 pixels on the left) the start value shows; beyond either side it
// changes by step per pixel. Owners read and write the text and follow its changes via Edit().
#pragma once

#include <QWidget>

class QLineEdit;

namespace kandrel {

class NumberDrag;

class TFrmMEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmMEdit(QWidget* parent = nullptr);

  QLineEdit& Edit() const { return *edit_; }
  double Step() const;
  void SetStep(double step);

 private:
  QLineEdit* edit_;
  NumberDrag* drag_;
};

}  // namespace kandrel
