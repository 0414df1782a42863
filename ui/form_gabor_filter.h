// TFormGaborFilter: the size, direction, spread, period and amplitude of the Gabor kernel and
// what part of it to output. The dialog edits a copy of the record and hands it to the process
// only when every field is valid. The origin box only tells that the origin is the centre.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QGroupBox;
class QLineEdit;

namespace kandrel {

class ImageSizePanel;
class ProcGaborFilter;

class TFormGaborFilter : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormGaborFilter(ProcGaborFilter& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  // The precision applies to a real or imaginary part alone.
  void EnablePrecision();

  ProcGaborFilter& process_;
  ImageSizePanel* size_;
  QLineEdit* theta_;
  QLineEdit* sigma_;
  QLineEdit* period_;
  QLineEdit* amplitude_;
  QButtonGroup* outputKind_;
  QButtonGroup* precision_;
  QGroupBox* precisionBox_;
};

}  // namespace kandrel
