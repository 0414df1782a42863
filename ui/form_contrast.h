// TFormContrast: the gain (contrast) and the offset (brightness) of the tone process, with the
// resulting curve drawn over the input's range. The offset's drag step is one 255th of input 1's
// white level, which is therefore the range the curve spans; while a field holds no number the
// curve keeps its last value.
#pragma once

#include "ui/form_virtual.h"

namespace kandrel {

class CurvePicture;
class ProcContrast;
class TFrmMEdit;

class TFormContrast : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormContrast(ProcContrast& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  void FollowFields();
  void DrawCurve();

  ProcContrast& process_;
  TFrmMEdit* gain_;
  TFrmMEdit* offset_;
  CurvePicture* curve_;
  double curveGain_ = 1.0;
  double curveOffset_ = 0.0;
};

}  // namespace kandrel
