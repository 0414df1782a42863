// TFormGammaCorrection: the gamma value, its direction (encoding with 1 / gamma or decoding with
// gamma) and whether the power law works relative to a fixed white level, with the resulting
// curve. Without a fixed level the field proposes input 1's white level, over which the curve is
// then drawn; entering the field fixes the level. A gamma of 0 or below is taken here and refused
// by the process when it runs.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QCheckBox;

namespace kandrel {

class CurvePicture;
class ProcGammaDbl;
class TFrmMEdit;

class TFormGammaCorrection : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormGammaCorrection(ProcGammaDbl& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowControls();
  void DrawCurve();

  ProcGammaDbl& process_;
  QButtonGroup* direction_;  // button id = direction
  TFrmMEdit* gamma_;
  QCheckBox* fixWhiteLevel_;
  TFrmMEdit* whiteLevel_;
  CurvePicture* curve_;
  double curveGamma_ = 2.2;
  double curveWhiteLevel_ = 255.0;
};

}  // namespace kandrel
