// TFormHaarDetect: the cascade definition file and the smallest object size of the cascade
// detector. Applying resets the process, which loads the chosen cascade.
#pragma once

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class FileNameFields;
class ProcHaarDetect;

class TFormHaarDetect : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormHaarDetect(ProcHaarDetect& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcHaarDetect& process_;
  FileNameFields* fields_;
  QLineEdit* minHeight_;
  QLineEdit* minWidth_;
};

}  // namespace kandrel
