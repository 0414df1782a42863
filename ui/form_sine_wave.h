// TFormSineWave: the pattern generator's image size, sample type and coordinate options, with one
// page per pattern; the page shown when "OK" is pressed is the pattern made. Only the fields of
// that page are read, so those of the other pages keep their stored values, and nothing is
// stored until every check has passed.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QTabWidget;

namespace kandrel {

class ImageSizePanel;
class ProcSineWave;

class TFormSineWave : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormSineWave(ProcSineWave& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  QWidget* NewFlatPage();
  QWidget* NewGratingPage();
  QWidget* NewZonePlatePage();
  QWidget* NewChartPage();

  ProcSineWave& process_;
  ImageSizePanel* size_;
  QButtonGroup* intOutput_;  // button id = intOutput
  QCheckBox* halfPixel_;
  QCheckBox* centerOrigin_;
  QTabWidget* pages_;  // page index = patternKind
  QLineEdit* flatValue_;
  QButtonGroup* waveform_;  // button id = waveform
  QLineEdit* cyclesPerWidth_;
  QLineEdit* cyclesPerHeight_;
  QLineEdit* leftFrequency_;
  QLineEdit* rightFrequency_;
  QLineEdit* phaseShift_;
};

}  // namespace kandrel
